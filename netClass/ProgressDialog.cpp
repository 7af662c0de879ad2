#include "ProgressDialog.h"

#include <QProgressBar>
#include <QVBoxLayout>

ProgressDialog::ProgressDialog() : m_bar(new QProgressBar(this))
{
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    setWindowTitle("Progress");
    setModal(true);
    // Shown during a replay, it must not keep the program running once the main window has
    // been closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(300, 80);
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::start(Qt::WindowModality modality)
{
    setValue(0.0);
    setBarValue(0);
    if (windowModality() != modality) {
        // A window takes its modality when it is shown.
        hide();
        setWindowModality(modality);
    }
    show();
}

void ProgressDialog::setPercent(double percent)
{
    setValue(percent);
    if (!(percent < 100.0)) {
        setBarValue(100);
        accept();
        return;
    }
    if (percent > -1.0)
        setBarValue(int(percent));
}

void ProgressDialog::finish()
{
    close();
    setValue(0.0);
    setBarValue(0);
}

int ProgressDialog::barValue() const
{
    return m_bar->value();
}

void ProgressDialog::setBarValue(int value)
{
    m_bar->setValue(value);
}
