#include "platform/prompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

QMessageBox::StandardButtons standardButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::SaveDiscardCancel:
        return QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    case MessageButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon standardIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

MessageResult resultOf(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return MessageResult::Yes;
    case QMessageBox::No:
        return MessageResult::No;
    case QMessageBox::Ok:
        return MessageResult::Ok;
    case QMessageBox::Save:
        return MessageResult::Save;
    case QMessageBox::Discard:
        return MessageResult::Discard;
    default:
        // Escape or the close button of the box.
        return MessageResult::Cancel;
    }
}

// Qt's dialog for existing files refuses a name that is none; this one also
// takes a pattern typed as the name (with *, ? or [) and gives it, in its
// folder, as the one name chosen, for the caller to expand.
class PatternFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    bool takesPatterns = false;
    QString pattern;
    // appended to a name typed without a type, unless the filter picked is
    // of one type, whose own is appended then
    QString defaultSuffix;

    void accept() override {
        static const QRegularExpression oneType(QStringLiteral("\\(\\*\\.(\\w+)\\)$"));
        const QRegularExpressionMatch match = oneType.match(selectedNameFilter());
        setDefaultSuffix(match.hasMatch() ? match.captured(1) : defaultSuffix);
        const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = edit ? edit->text().trimmed() : QString();
        // Several names chosen in the list come quoted.
        static const QRegularExpression wildcard(QStringLiteral("[*?[]"));
        if (takesPatterns && typed.contains(wildcard) && !typed.startsWith(u'"')) {
            pattern = directory().absoluteFilePath(typed);
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

// Qt's dialog for folders refuses a name that is none yet; this one takes a
// new name typed in an existing folder, as the folder for the caller to make.
class NewFolderDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    QString newFolder;

    void accept() override {
        const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = edit ? edit->text().trimmed() : QString();
        const QFileInfo folder(directory().absoluteFilePath(typed));
        if (!typed.isEmpty() && !folder.exists() && folder.dir().exists()) {
            newFolder = folder.absoluteFilePath();
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

// A name typed for opening need not exist, unless several are asked for:
// the caller reports a missing file.
std::optional<QStringList> runFileDialog(const FileRequest& request, QFileDialog::AcceptMode mode,
                                         QFileDialog::FileMode fileMode = QFileDialog::AnyFile) {
    PatternFileDialog dialog(QApplication::activeWindow(), request.caption, request.directory, request.filter);
    dialog.takesPatterns = fileMode == QFileDialog::ExistingFiles;
    // Qt's own dialog, the same on every desktop and drivable in tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(fileMode);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.defaultSuffix = request.defaultSuffix;
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    if (!dialog.pattern.isEmpty()) return QStringList{dialog.pattern};
    if (dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles();
}

std::optional<QString> firstOf(const std::optional<QStringList>& names) {
    if (!names) return std::nullopt;
    return names->front();
}

}  // namespace

MessageResult QtPrompter::messageBox(const QString& text, const QString& caption, MessageButtons buttons,
                                     MessageIcon icon) {
    QMessageBox box(standardIcon(icon), caption, text, standardButtons(buttons), QApplication::activeWindow());
    return resultOf(box.exec());
}

std::optional<QStringList> Prompter::openFileNames(const FileRequest& request) {
    const std::optional<QString> name = openFileName(request);
    if (!name) return std::nullopt;
    return QStringList{*name};
}

std::optional<QString> QtPrompter::openFileName(const FileRequest& request) {
    return firstOf(runFileDialog(request, QFileDialog::AcceptOpen));
}

std::optional<QString> QtPrompter::saveFileName(const FileRequest& request) {
    return firstOf(runFileDialog(request, QFileDialog::AcceptSave));
}

std::optional<QStringList> QtPrompter::openFileNames(const FileRequest& request) {
    return runFileDialog(request, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles);
}

std::optional<QString> QtPrompter::folderName(const FileRequest& request) {
    NewFolderDialog dialog(QApplication::activeWindow(), request.caption);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    if (!dialog.newFolder.isEmpty()) return dialog.newFolder;
    if (dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front();
}

MessageResult ScriptedPrompter::messageBox(const QString& text, const QString& caption, MessageButtons buttons,
                                           MessageIcon icon) {
    messages.push_back({text, caption, buttons, icon});
    if (replies.empty()) {
        switch (buttons) {
        case MessageButtons::YesNo:
        case MessageButtons::YesNoCancel: return MessageResult::Yes;
        case MessageButtons::SaveDiscardCancel: return MessageResult::Save;
        case MessageButtons::Ok:
        case MessageButtons::OkCancel: break;
        }
        return MessageResult::Ok;
    }
    const MessageResult reply = replies.front();
    replies.pop_front();
    return reply;
}

std::optional<QString> ScriptedPrompter::openFileName(const FileRequest& request) { return nextFile(request); }

std::optional<QString> ScriptedPrompter::saveFileName(const FileRequest& request) { return nextFile(request); }

std::optional<QString> ScriptedPrompter::folderName(const FileRequest& request) { return nextFile(request); }

std::optional<QString> ScriptedPrompter::nextFile(const FileRequest& request) {
    fileRequests.push_back(request);
    if (files.empty()) return std::nullopt;
    QString file = files.front();
    files.pop_front();
    return file;
}
