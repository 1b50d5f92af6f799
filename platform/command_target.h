#pragma once

#include <functional>
#include <unordered_map>

// State of one command's user-interface items (menu items, toolbar buttons,
// accelerators) as the update handlers along the command route decide it.
class CommandUI {
public:
    explicit CommandUI(int id) : id_(id) {}

    int id() const { return id_; }
    void enable(bool on = true) {
        enabled_ = on;
        enableChanged_ = true;
    }
    void setCheck(bool on = true) { checked_ = on; }

    bool enabled() const { return enabled_; }
    bool checked() const { return checked_; }
    // An update handler that leaves the enabled state alone lets the route
    // decide it: enabled exactly when some target handles the command.
    bool enableChanged() const { return enableChanged_; }

private:
    int id_;
    bool enabled_ = true;
    bool checked_ = false;
    bool enableChanged_ = false;
};

// Anything on the command route: the active view, its document, the child
// frame, the main frame and the application. Each keeps a map of command ids
// to handlers and to update handlers.
class CommandTarget {
public:
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CommandUI&)>;

    CommandTarget() = default;
    CommandTarget(const CommandTarget&) = delete;
    CommandTarget& operator=(const CommandTarget&) = delete;
    virtual ~CommandTarget() = default;

    void onCommand(int id, Handler handler);
    void onUpdateCommandUI(int id, UpdateHandler handler);

    bool handlesCommand(int id) const { return commands_.count(id) != 0; }
    // Runs the handler of id; false when this target has none.
    bool invokeCommand(int id) const;
    // Runs the update handler of id; false when this target has none.
    bool invokeUpdate(int id, CommandUI& ui) const;

private:
    std::unordered_map<int, Handler> commands_;
    std::unordered_map<int, UpdateHandler> updates_;
};
