#include "app/InformationCenter.h"
#include "app/Startup.h"
#include "netClass/CmdDialog.h"
#include "showClass/ScreenShot.h"
#include "showClass/ShowImage.h"
#include "showClass/ShowPoint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QQmlEngine>
#include <QTextStream>

#include <cstdio>

// Describes the program's native QML types to qmllint, which cannot load them from a plugin:
// for each type a module directory (qmldir and plugins.qmltypes) under the directory given as
// the only argument, written from the class's own meta-object, so that the linter checks every
// property, signal and method the front end uses against the real class.

namespace {

struct NativeType
{
    const QMetaObject *metaObject;
    const char *module;
};

// The types QML can hold; anything else becomes a variant, which the linter does not check.
QString qmlTypeName(const QMetaObject *owner, const QByteArray &cppName)
{
    static const QStringList kept{"void",    "bool",        "int",  "double",  "float",
                                  "QString", "QStringList", "QUrl", "QVariant"};
    if (kept.contains(QString::fromLatin1(cppName)))
        return QString::fromLatin1(cppName);
    static const QStringList small{"uchar",   "char",  "ushort", "short",   "quint8",
                                   "quint16", "qint8", "qint16", "uint8_t", "uint16_t"};
    if (small.contains(QString::fromLatin1(cppName)))
        return QStringLiteral("int");
    static const QStringList large{"uint",      "quint32", "qulonglong", "quint64",
                                   "qlonglong", "qint64",  "uint32_t",   "uint64_t"};
    if (large.contains(QString::fromLatin1(cppName)))
        return QStringLiteral("double");
    const QByteArray prefix = QByteArray(owner->className()) + "::";
    for (int i = owner->enumeratorOffset(); i < owner->enumeratorCount(); ++i) {
        const QByteArray name = owner->enumerator(i).name();
        if (cppName == name || cppName == prefix + name)
            return QString::fromLatin1(name);
    }
    return QStringLiteral("QVariant");
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void writeComponent(QTextStream &out, const NativeType &type)
{
    const QMetaObject *mo = type.metaObject;
    const QString element = QString::fromLatin1(mo->className());
    out << "    Component {\n";
    out << "        name: " << quoted(element) << "\n";
    out << "        accessSemantics: \"reference\"\n";
    out << "        prototype: " << quoted(QString::fromLatin1(mo->superClass()->className()))
        << "\n";
    out << "        exports: [" << quoted(QString::fromLatin1(type.module) + "/" + element + " 1.0")
        << "]\n";
    out << "        exportMetaObjectRevisions: [256]\n";

    for (int i = mo->enumeratorOffset(); i < mo->enumeratorCount(); ++i) {
        const QMetaEnum e = mo->enumerator(i);
        QStringList values;
        for (int k = 0; k < e.keyCount(); ++k)
            values << quoted(QString::fromLatin1(e.key(k)));
        out << "        Enum { name: " << quoted(QString::fromLatin1(e.name())) << "; values: ["
            << values.join(", ") << "] }\n";
    }

    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        out << "        Property { name: " << quoted(QString::fromLatin1(p.name()))
            << "; type: " << quoted(qmlTypeName(mo, p.typeName()))
            << "; read: " << quoted(QString::fromLatin1(p.name()));
        if (p.isWritable())
            out << "; write: \"set\"";
        else
            out << "; isReadonly: true";
        if (p.hasNotifySignal())
            out << "; notify: " << quoted(QString::fromLatin1(p.notifySignal().name()));
        out << "; index: " << (i - mo->propertyOffset()) << " }\n";
    }

    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.access() != QMetaMethod::Public && m.methodType() != QMetaMethod::Signal)
            continue;
        const bool isSignal = m.methodType() == QMetaMethod::Signal;
        out << "        " << (isSignal ? "Signal" : "Method") << " {\n";
        out << "            name: " << quoted(QString::fromLatin1(m.name())) << "\n";
        if (!isSignal && m.returnMetaType().id() != QMetaType::Void)
            out << "            type: " << quoted(qmlTypeName(mo, m.typeName())) << "\n";
        const QList<QByteArray> names = m.parameterNames();
        const QList<QByteArray> types = m.parameterTypes();
        for (int k = 0; k < types.size(); ++k) {
            const QString name = names.value(k).isEmpty() ? QStringLiteral("arg%1").arg(k)
                                                          : QString::fromLatin1(names.value(k));
            out << "            Parameter { name: " << quoted(name)
                << "; type: " << quoted(qmlTypeName(mo, types.at(k))) << " }\n";
        }
        out << "        }\n";
    }
    out << "    }\n";
}

bool writeModule(const QString &root, const NativeType &type)
{
    const QString dir =
        root + QLatin1Char('/')
        + QString::fromLatin1(type.module).replace(QLatin1Char('.'), QLatin1Char('/'));
    if (!QDir().mkpath(dir))
        return false;
    QFile qmldir(dir + QStringLiteral("/qmldir"));
    QFile types(dir + QStringLiteral("/plugins.qmltypes"));
    if (!qmldir.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || !types.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream(&qmldir) << "module " << type.module
                         << "\ntypeinfo plugins.qmltypes\ndepends QtQuick\n";
    QTextStream out(&types);
    out << "import QtQuick.tooling 1.2\n\nModule {\n";
    writeComponent(out, type);
    out << "}\n";
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const NativeType nativeTypes[] = {
        {&ShowImage::staticMetaObject, "ShowImage.module"},
        {&ScreenShot::staticMetaObject, "ScreenShot.module"},
        {&InformationCenter::staticMetaObject, "InformationCenter.module"},
        {&CmdDialog::staticMetaObject, "CmdDialog.module"},
        {&ShowPoint::staticMetaObject, "ShowPoint.module"},
    };
    // Described only as start-up registers them: a type the program does not register under
    // that module and name is an error here, not a description the linter would trust.
    registerFrontEndTypes();
    for (const NativeType &type : nativeTypes) {
        if (qmlTypeId(type.module, 1, 0, type.metaObject->className()) < 0) {
            std::fprintf(stderr, "%s is not registered in %s 1.0\n", type.metaObject->className(),
                         type.module);
            return 1;
        }
        if (!writeModule(QString::fromLocal8Bit(argv[1]), type)) {
            std::fprintf(stderr, "cannot write the description of %s\n", type.module);
            return 1;
        }
    }
    return 0;
}
