#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

// The committed reference vectors under tests/data: one case per line, fields separated by
// spaces. Fails the test program at once when the file cannot be read.
QList<QList<QByteArray>> readReferenceLines(const QString &path);

// Reads the fields of one line one after another.
class ReferenceFields
{
public:
    explicit ReferenceFields(const QList<QByteArray> &fields) : fields(fields) {}

    bool atEnd() const { return at >= fields.size(); }
    QByteArray text() { return fields.at(at++); }
    int integer() { return fields.at(at++).toInt(); }
    double real() { return fields.at(at++).toDouble(); }
    std::vector<double> reals(int n);

private:
    const QList<QByteArray> &fields;
    int at = 0;
};
