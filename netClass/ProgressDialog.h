#pragma once

#include <QDialog>

class QProgressBar;

// The small window that shows how far a firmware upgrade or a replay has come: one bar from
// 0 to 100 and the last value set, in percent. Modal unless the one who shows it says otherwise.
class ProgressDialog : public QDialog
{
    Q_OBJECT
public:
    ProgressDialog();
    ~ProgressDialog() override;

    // Shows the window from 0 with the given modality: the firmware upgrade keeps the operator
    // out of the main window, a replay does not.
    void start(Qt::WindowModality modality);
    // Sets how far it has come: the bar follows (truncated towards zero; it keeps its value for
    // anything below its range), and at 100 or more (or a value that is no number) the window
    // closes as done.
    void setPercent(double percent);
    // Closes the window and starts it from 0 again.
    void finish();

    double value() const { return m_value; }
    void setValue(double value) { m_value = value; }
    int barValue() const;
    void setBarValue(int value);

private:
    double m_value = 0.0;
    QProgressBar *m_bar;
};
