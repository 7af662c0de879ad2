#include "OperatorPrompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

OperatorPrompt OperatorPrompt::boxes()
{
    OperatorPrompt prompt;
    prompt.warn = [](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    };
    prompt.ask = [](const QString &title, const QString &text) {
        // Without a widget application no box can be shown: nothing is done unasked.
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            return false;
        return QMessageBox::question(nullptr, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No)
               == QMessageBox::Yes;
    };
    prompt.openFile = [](const QString &title, const QString &directory, const QString &filter) {
        return QFileDialog::getOpenFileName(nullptr, title, directory, filter);
    };
    return prompt;
}
