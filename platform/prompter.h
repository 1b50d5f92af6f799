#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, SaveDiscardCancel };
enum class MessageIcon { None, Information, Warning, Critical, Question };
enum class MessageResult { Ok, Cancel, Yes, No, Save, Discard };

// What a file dialog is asked for; filter in Qt's form, "Galaxies (*.zyr)".
// Picking a filter of one type makes its type the default suffix; the
// default suffix given holds for the other filters.
struct FileRequest {
    QString caption;
    QString filter;
    QString defaultSuffix;
    // the folder the dialog starts in; empty: the working folder
    QString directory;
    QString fileName;
    // Saving over an existing file asks first unless this is cleared.
    bool confirmOverwrite = true;
};

// Every message box and file dialog of the program goes through one of these,
// so that tests can answer them.
class Prompter {
public:
    virtual ~Prompter() = default;

    // Modal; returns the button chosen.
    virtual MessageResult messageBox(const QString& text, const QString& caption,
                                     MessageButtons buttons = MessageButtons::Ok,
                                     MessageIcon icon = MessageIcon::Warning) = 0;
    // Modal; the chosen path, or nothing when cancelled.
    virtual std::optional<QString> openFileName(const FileRequest& request) = 0;
    virtual std::optional<QString> saveFileName(const FileRequest& request) = 0;
    // Modal; one or more names to open, or nothing when cancelled. Unless
    // overridden, the one name openFileName gives.
    virtual std::optional<QStringList> openFileNames(const FileRequest& request);
    // Modal; an existing folder, or a new one named in an existing folder for
    // the caller to make, or nothing when cancelled. Only the caption and the
    // starting name are used.
    virtual std::optional<QString> folderName(const FileRequest& request) = 0;
};

// Qt's message boxes and Qt's own (non-native) file dialogs, owned by the
// active window.
class QtPrompter : public Prompter {
public:
    MessageResult messageBox(const QString& text, const QString& caption, MessageButtons buttons,
                             MessageIcon icon) override;
    std::optional<QString> openFileName(const FileRequest& request) override;
    std::optional<QString> saveFileName(const FileRequest& request) override;
    // Existing files, several with Shift+click or Ctrl+click; or a pattern
    // (*, ? or [) typed as the name, given back as it stands in its folder.
    std::optional<QStringList> openFileNames(const FileRequest& request) override;
    std::optional<QString> folderName(const FileRequest& request) override;
};

// Answers from queues and records what was asked. A message box without a
// queued reply gets its first button (Ok, Yes or Save); a file or folder dialog
// without a queued answer is cancelled.
class ScriptedPrompter : public Prompter {
public:
    struct Message {
        QString text;
        QString caption;
        MessageButtons buttons;
        MessageIcon icon;
    };

    std::deque<MessageResult> replies;
    std::deque<QString> files;
    std::vector<Message> messages;
    std::vector<FileRequest> fileRequests;

    MessageResult messageBox(const QString& text, const QString& caption, MessageButtons buttons,
                             MessageIcon icon) override;
    std::optional<QString> openFileName(const FileRequest& request) override;
    std::optional<QString> saveFileName(const FileRequest& request) override;
    std::optional<QString> folderName(const FileRequest& request) override;

private:
    std::optional<QString> nextFile(const FileRequest& request);
};
