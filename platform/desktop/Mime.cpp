#include "platform/desktop/Mime.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>
#include <sys/stat.h>

namespace mv {
namespace {

QMimeDatabase& Database() {
    static QMimeDatabase database;
    return database;
}

} // namespace

std::string MimeTypeOfPath(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return "inode/directory";
    return Database().mimeTypeForFile(QString::fromStdString(path)).name().toStdString();
}

std::vector<std::string> MimeTypeAncestors(const std::string& mimeType) {
    std::vector<std::string> out;
    const QMimeType type = Database().mimeTypeForName(QString::fromStdString(mimeType));
    if (type.isValid())
        for (const QString& parent : type.allAncestors()) out.push_back(parent.toStdString());
    return out;
}

bool IsKnownExtension(const std::string& extension) {
    if (extension.empty()) return false;
    const QString name = QStringLiteral("x.") + QString::fromStdString(extension);
    for (const QMimeType& type : Database().mimeTypesForFileName(name))
        if (!type.isDefault()) return true;
    // The globs are matched case-sensitively first; an upper-case extension counts too.
    for (const QMimeType& type : Database().mimeTypesForFileName(name.toLower()))
        if (!type.isDefault()) return true;
    return false;
}

} // namespace mv
