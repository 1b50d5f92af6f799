#include "platform/command_target.h"

#include <utility>

void CommandTarget::onCommand(int id, Handler handler) { commands_[id] = std::move(handler); }

void CommandTarget::onUpdateCommandUI(int id, UpdateHandler handler) { updates_[id] = std::move(handler); }

bool CommandTarget::invokeCommand(int id) const {
    const auto it = commands_.find(id);
    if (it == commands_.end()) return false;
    // A command may close the window that owns this target; the copy keeps the
    // handler alive until it returns.
    const Handler handler = it->second;
    handler();
    return true;
}

bool CommandTarget::invokeUpdate(int id, CommandUI& ui) const {
    const auto it = updates_.find(id);
    if (it == updates_.end()) return false;
    it->second(ui);
    return true;
}
