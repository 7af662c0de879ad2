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
    explicit ReferenceFields(const QList<QByteArray> &fields) : m_fields(fields) {}

    bool atEnd() const { return m_at >= m_fields.size(); }
    QByteArray text() { return m_fields.at(m_at++); }
    int integer() { return m_fields.at(m_at++).toInt(); }
    double real() { return m_fields.at(m_at++).toDouble(); }
    std::vector<double> reals(int n);

private:
    const QList<QByteArray> &m_fields;
    int m_at = 0;
};
