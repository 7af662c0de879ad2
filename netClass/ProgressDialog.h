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

    double value() const { return m_value; }
    void setValue(double value) { m_value = value; }
    int barValue() const;
    void setBarValue(int value);

private:
    double m_value = 0.0;
    QProgressBar *m_bar;
};
