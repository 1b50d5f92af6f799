#pragma once

#include <QIcon>
#include <QString>
#include <Qt>
#include <vector>

// A menu bar as data: popups of items, each item a command (text and id), a
// separator, a nested popup, or the place of the recent files (as many items
// as there are, "&1 name" to "&4 name", and a separator after them). Texts
// keep their '&' mnemonics and the part after a tab, which the menu shows as
// the key hint.
struct MenuItem {
    enum class Kind { Command, Separator, Popup, RecentFiles };

    Kind kind = Kind::Command;
    QString text;
    int id = 0;
    std::vector<MenuItem> items;

    static MenuItem command(QString text, int id) { return {Kind::Command, std::move(text), id, {}}; }
    static MenuItem separator() { return {Kind::Separator, {}, 0, {}}; }
    static MenuItem recentFiles() { return {Kind::RecentFiles, {}, 0, {}}; }
    static MenuItem popup(QString text, std::vector<MenuItem> items) {
        return {Kind::Popup, std::move(text), 0, std::move(items)};
    }
};

using MenuLayout = std::vector<MenuItem>;

// One key of the accelerator table: the key with exactly these modifiers
// sends the command id.
struct Accelerator {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int id;
};

// One toolbar button; id 0 is a gap between groups.
struct ToolButton {
    int id = 0;
    QIcon icon;
};

// Status-bar prompt and tooltip of a command, from a string of the form
// "prompt\ntooltip".
struct CommandPrompt {
    int id;
    QString text;

    QString prompt() const { return text.section(QLatin1Char('\n'), 0, 0); }
    QString tooltip() const { return text.section(QLatin1Char('\n'), 1, 1); }
};
