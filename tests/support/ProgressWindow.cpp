#include "ProgressWindow.h"

#include "netClass/ProgressDialog.h"

#include <QApplication>

ProgressDialog *progressDialog()
{
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets) {
        if (auto *dialog = qobject_cast<ProgressDialog *>(w))
            return dialog;
    }
    return nullptr;
}
