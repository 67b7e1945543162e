#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <utility>
#include <vector>

#include <ostream>

// Readable failure messages for QString comparisons.
inline void PrintTo(const QString& string, std::ostream* os) {
    *os << '"' << string.toStdString() << '"';
}

namespace syntaxtest {

inline QString xmlEscape(QString s) {
    return s.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

// One value of a hand-written property list: a string, a boolean or an array of strings.
struct PlistValue {
    enum Kind { String, Bool, Strings } kind = String;
    QString string;
    bool boolean = false;
    QStringList strings;

    PlistValue(const char* s) : kind(String), string(QString::fromUtf8(s)) {}
    PlistValue(const QString& s) : kind(String), string(s) {}
    PlistValue(bool b) : kind(Bool), boolean(b) {}
    PlistValue(const QStringList& l) : kind(Strings), strings(l) {}

    QString xml() const {
        switch (kind) {
        case Bool:
            return boolean ? "<true/>" : "<false/>";
        case Strings: {
            QString out = "<array>";
            for (const QString& s : strings)
                out += "<string>" + xmlEscape(s) + "</string>";
            return out + "</array>";
        }
        default:
            return "<string>" + xmlEscape(string) + "</string>";
        }
    }
};

using PlistDict = std::vector<std::pair<QString, PlistValue>>;

inline QString dictXml(const PlistDict& dict) {
    QString out = "<dict>";
    for (const auto& [key, value] : dict)
        out += "<key>" + xmlEscape(key) + "</key>" + value.xml();
    return out + "</dict>";
}

inline bool writePlist(const QString& path, const QString& body) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">");
    file.write(body.toUtf8());
    file.write("</plist>\n");
    return true;
}

// A resources folder of the test's own, found by the program through $QUORVEL_RESOURCES for as
// long as the object lives.
class ResourcesOverride {
public:
    ResourcesOverride() {
        QDir(dir_.path()).mkpath("syntax");
        QDir(dir_.path()).mkpath("themes");
        previous_ = qgetenv("QUORVEL_RESOURCES");
        hadPrevious_ = qEnvironmentVariableIsSet("QUORVEL_RESOURCES");
        qputenv("QUORVEL_RESOURCES", dir_.path().toUtf8());
    }
    ~ResourcesOverride() {
        if (hadPrevious_)
            qputenv("QUORVEL_RESOURCES", previous_);
        else
            qunsetenv("QUORVEL_RESOURCES");
    }
    QString path(const QString& relative) const { return QDir(dir_.path()).filePath(relative); }

    // Rows of (name, file, extensions); a null extensions string leaves the key out.
    void writeTable(const std::vector<std::tuple<QString, QString, QString>>& rows) const {
        QString body = "<array>";
        for (const auto& [name, file, extensions] : rows) {
            PlistDict row{{"name", name}, {"file", file}};
            if (!extensions.isNull())
                row.emplace_back("extensions", extensions);
            body += dictXml(row);
        }
        writePlist(path("syntax/SyntaxDefinitions.plist"), body + "</array>");
    }
    void writeDefinition(const QString& identifier, const PlistDict& dict) const {
        writePlist(path("syntax/" + identifier + ".plist"), dictXml(dict));
    }
    void writeTheme(const QString& file, const PlistDict& dict) const {
        writePlist(path("themes/" + file), dictXml(dict));
    }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
    bool hadPrevious_ = false;
};

} // namespace syntaxtest
