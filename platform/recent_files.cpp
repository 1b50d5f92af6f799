#include "platform/recent_files.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("Recent File List");

QString key(int index) { return QStringLiteral("File%1").arg(index + 1); }

// The same file under another spelling of its path is still one entry.
QString canonical(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

}  // namespace

void RecentFiles::load() {
    files_.clear();
    QSettings settings;
    settings.beginGroup(kGroup);
    for (int i = 0; i < kSize; ++i) {
        const QString path = settings.value(key(i)).toString();
        if (!path.isEmpty() && !files_.contains(path)) files_ << path;
    }
}

void RecentFiles::add(const QString& path) {
    const QString entry = canonical(path);
    files_.removeAll(entry);
    files_.prepend(entry);
    while (files_.size() > kSize) files_.removeLast();
    save();
}

void RecentFiles::remove(const QString& path) {
    if (files_.removeAll(canonical(path)) > 0) save();
}

void RecentFiles::save() const {
    QSettings settings;
    settings.beginGroup(kGroup);
    for (int i = 0; i < kSize; ++i) {
        if (i < files_.size())
            settings.setValue(key(i), files_[i]);
        else
            settings.remove(key(i));
    }
}
