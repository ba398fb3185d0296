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

} // namespace mv
