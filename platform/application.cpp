#include "platform/application.h"

#include <QApplication>

#include "platform/doc_template.h"
#include "platform/document.h"
#include "platform/framework_ids.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"

Application* Application::instance_ = nullptr;

Application::Application(QStringList commandLine)
    : commandLine_(std::move(commandLine)),
      prompter_(std::make_unique<QtPrompter>()),
      idleDriver_([this](long idleCount) { return OnIdle(idleCount); }) {
    instance_ = this;
    recentFiles_.load();
    onCommand(FrameworkId::AppExit, [this] {
        if (mainFrame_) mainFrame_->close();
    });
}

Application::~Application() {
    idleDriver_.stop();
    // Frames and views go before the documents they show.
    mainFrame_.reset();
    templates_.clear();
    instance_ = nullptr;
}

bool Application::OnIdle(long idleCount) {
    if (idleCount == 0 && mainFrame_) {
        mainFrame_->updateCommandUI();
        mainFrame_->updateIndicators();
    }
    return false;
}

int Application::Run() {
    idleDriver_.start();
    const int result = QApplication::exec();
    idleDriver_.stop();
    return result;
}

DocTemplate* Application::addDocTemplate(std::unique_ptr<DocTemplate> docTemplate) {
    docTemplate->app_ = this;
    templates_.push_back(std::move(docTemplate));
    return templates_.back().get();
}

void Application::setMainFrame(std::unique_ptr<MdiFrame> frame) { mainFrame_ = std::move(frame); }

void Application::setPrompter(std::unique_ptr<Prompter> prompter) { prompter_ = std::move(prompter); }

bool Application::processShellCommand() { return invokeCommand(FrameworkId::FileNew) && mainFrame_; }

void Application::addRecentFile(const QString& path) {
    recentFiles_.add(path);
    if (mainFrame_) mainFrame_->rebuildMenus();
}

void Application::removeRecentFile(const QString& path) {
    recentFiles_.remove(path);
    if (mainFrame_) mainFrame_->rebuildMenus();
}

bool Application::saveAllModified() {
    for (const auto& docTemplate : templates_)
        for (Document* doc : docTemplate->documents())
            if (!doc->saveModified()) return false;
    return true;
}

void Application::closeAllDocuments() {
    for (const auto& docTemplate : templates_) docTemplate->closeAllDocuments();
}
