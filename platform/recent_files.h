#pragma once

#include <QString>
#include <QStringList>

// The files opened or saved most recently, newest first, as the File menu
// lists them; kept between runs in the settings.
class RecentFiles {
public:
    static constexpr int kSize = 4;

    // Reads the list the last run left.
    void load();
    const QStringList& files() const { return files_; }
    // Puts path first, once, and drops the oldest beyond kSize.
    void add(const QString& path);
    void remove(const QString& path);

private:
    void save() const;

    QStringList files_;
};
