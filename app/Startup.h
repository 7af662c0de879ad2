#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QObject;

// Registers the native types the front end instantiates, each in a module of its own at 1.0.
void registerFrontEndTypes();

// Empty when the front end's root is a window holding every object the core object is built
// on; otherwise what is wrong, for the log.
QString frontEndFault(QObject *root, const QUrl &frontEnd);

// The whole start-up and event loop of the program, with the front end's URL as a parameter
// so that a test can start the real sequence on a broken front end. beforeExec, when given,
// runs with the created root object just before the event loop starts.
int runKorvessa(int argc, char *argv[], const QUrl &frontEnd,
                const std::function<void(QObject *root)> &beforeExec = {});
