#include "platform/desktop/LocaleText.h"

#include <QDateTime>
#include <QLocale>
#include <mutex>

namespace mv::desktop {

namespace {
std::mutex lock;
std::string localeName;

QLocale Current() {
    std::lock_guard<std::mutex> g(lock);
    return localeName.empty() ? QLocale::system() : QLocale(QString::fromStdString(localeName));
}
} // namespace

void SetTextLocale(const std::string& name) {
    std::lock_guard<std::mutex> g(lock);
    localeName = name;
}

std::string FormatThousands(uint64_t value) {
    QLocale loc = Current();
    loc.setNumberOptions(QLocale::DefaultNumberOptions);
    return loc.toString(static_cast<qulonglong>(value)).toStdString();
}

std::string FormatShortDateTime(int64_t seconds) {
    QLocale loc = Current();
    QDateTime t = QDateTime::fromSecsSinceEpoch(seconds).toLocalTime();
    return (loc.toString(t.date(), QLocale::ShortFormat) + " " + loc.toString(t.time(), QLocale::ShortFormat))
        .toStdString();
}

} // namespace mv::desktop
