#pragma once

#include <QUrl>

#include <functional>

class QObject;

// The whole start-up and event loop of the program, with the front end's URL as a parameter
// so that a test can start the real sequence on a broken front end. beforeExec, when given,
// runs with the created root object just before the event loop starts.
int runKorvessa(int argc, char *argv[], const QUrl &frontEnd,
                const std::function<void(QObject *root)> &beforeExec = {});
