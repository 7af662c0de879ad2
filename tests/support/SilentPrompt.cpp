#include "SilentPrompt.h"

OperatorPrompt silentPrompt()
{
    OperatorPrompt prompt;
    prompt.warn = [](const QString &, const QString &) {};
    prompt.ask = [](const QString &, const QString &) { return false; };
    prompt.openFile = [](const QString &, const QString &, const QString &) { return QString(); };
    return prompt;
}
