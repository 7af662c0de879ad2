#pragma once

#include <QString>

#include <functional>

// What the program asks of the operator in boxes of its own: a warning to take note of, a
// question to answer Yes or No, a file to open. Each call waits for the operator. boxes() is the
// program's own; tests put answers of their own here, so that nothing waits for a click.
struct OperatorPrompt
{
    std::function<void(const QString &title, const QString &text)> warn;
    std::function<bool(const QString &title, const QString &text)> ask;
    // The path of the chosen file, empty when the operator chose none.
    std::function<QString(const QString &title, const QString &directory, const QString &filter)>
        openFile;

    // An application-modal warning box with its Ok button; a question box whose answer is No
    // unless Yes is pressed (No without a widget application, where no box can be shown); the
    // file dialog.
    static OperatorPrompt boxes();
};
