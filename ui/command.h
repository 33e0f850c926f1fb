// Soft-key commands, the command tree a page builds from its command
// elements, and the interface of objects that receive soft-key commands.
//
// Ownership: a Command is shared by everything that shows or fires it (the
// page's command tree, items' command lists, screens, menu entries, the
// commands made once at start-up), so it is held through CommandRef and
// lives until the last holder lets go. Code that only fires or compares a
// command receives a plain Command* for the duration of the call.
// Commands and command trees are used on the UI thread only.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/cstring.h"

namespace zq {

class Displayable;

// Command types: they decide where a command goes (a soft key or the menu)
// and which key fires it. Pages and stored looks use the numbers.
inline constexpr int kCommandScreen = 1;
inline constexpr int kCommandBack = 2;
inline constexpr int kCommandCancel = 3;  // also fired by the clear key on an item
inline constexpr int kCommandOk = 4;
inline constexpr int kCommandExit = 7;
inline constexpr int kCommandItem = 8;

class Command {
public:
    // Smaller priority values come first in menus.
    Command(CString label, int commandType, int priority);
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    // Makes the command fresh again: id -1, no label, the type and priority.
    void init(int commandType, int priority);

    void setLabels(CString label, CString longLabel);
    CString getLabel() const { return label_; }
    const CString& getLongLabel() const { return longLabel_; }
    int getCommandType() const { return commandType_; }
    int getPriority() const { return priority_; }

    // -1 until code that registers commands numbers it; items remove
    // commands by id.
    int getId() const { return id_; }
    void setId(int id) { id_ = id; }

private:
    int id_ = -1;
    CString label_;
    CString longLabel_;
    int commandType_ = 0;
    int priority_ = 0;
};

using CommandRef = std::shared_ptr<Command>;

// One node of a page's command tree: the command it carries (may be null),
// the action text the command runs, the style class of its menu entry, and
// the nodes of its submenu. A node owns its child nodes and holds a shared
// reference to its command.
class CommandNode {
public:
    CommandNode(CommandRef command, CString action, CString styleClass);
    // Frees every node below; the commands stay alive while others hold them.
    virtual ~CommandNode();
    CommandNode(const CommandNode&) = delete;
    CommandNode& operator=(const CommandNode&) = delete;

    // Appends a non-null node. Marks the node as a submenu even for null,
    // so that a command whose children all came to nothing is dropped.
    void addChild(std::unique_ptr<CommandNode> node);

    // A leaf with a command, or a node with at least one child.
    bool hasContent() const;

    // Lets go of the command of this node and of every node below, then
    // frees the child nodes.
    void clear();

    // A node with exactly one child becomes that child: its command, texts
    // and children replace the node's own, and the emptied child is freed.
    void collapseSingleChild();

    const CommandRef& getCommand() const { return command_; }
    const CString& getAction() const { return action_; }
    const CString& getStyleClass() const { return styleClass_; }
    // Set by addChild, also when it was given null.
    bool hasChildren() const { return hasChildren_; }
    size_t getChildCount() const { return children_.size(); }
    // Null when index is out of range.
    CommandNode* getChild(size_t index) const;

private:
    // Frees the subtree without recursion, however deep it is.
    void freeChildren();

    bool hasChildren_ = false;
    CString action_;
    CString styleClass_;
    CommandRef command_;
    std::vector<std::unique_ptr<CommandNode>> children_;
};

// Receives soft-key commands: screens' forwarders, the page's action
// listener, and items and screens that handle their own commands. `source`
// is the displayable the command was chosen on.
class CommandListener {
public:
    virtual ~CommandListener() = default;
    virtual void commandAction(Command* command, Displayable* source) = 0;
};

}  // namespace zq
