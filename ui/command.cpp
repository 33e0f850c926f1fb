#include "ui/command.h"

#include <utility>

namespace zq {

Command::Command(CString label, int commandType, int priority)
    : label_(std::move(label)), commandType_(commandType), priority_(priority) {}

void Command::init(int commandType, int priority) {
    id_ = -1;
    label_.clear();
    commandType_ = commandType;
    priority_ = priority;
}

void Command::setLabels(CString label, CString longLabel) {
    label_ = std::move(label);
    longLabel_ = std::move(longLabel);
}

CommandNode::CommandNode(CommandRef command, CString action, CString styleClass)
    : action_(std::move(action)),
      styleClass_(std::move(styleClass)),
      command_(std::move(command)) {}

CommandNode::~CommandNode() { freeChildren(); }

void CommandNode::addChild(std::unique_ptr<CommandNode> node) {
    if (node) children_.push_back(std::move(node));
    hasChildren_ = true;
}

bool CommandNode::hasContent() const { return (command_ && !hasChildren_) || !children_.empty(); }

void CommandNode::clear() {
    command_.reset();
    freeChildren();
}

void CommandNode::collapseSingleChild() {
    if (children_.size() != 1) return;
    std::unique_ptr<CommandNode> child = std::move(children_.front());
    children_.clear();
    command_ = std::move(child->command_);
    action_ = std::move(child->action_);
    styleClass_ = std::move(child->styleClass_);
    children_ = std::move(child->children_);
    child->children_.clear();
    // A collapsed leaf is a leaf again; a collapsed submenu stays one.
    hasChildren_ = !children_.empty();
}

CommandNode* CommandNode::getChild(size_t index) const {
    return index < children_.size() ? children_[index].get() : nullptr;
}

void CommandNode::freeChildren() {
    std::vector<std::unique_ptr<CommandNode>> pending = std::move(children_);
    children_.clear();
    while (!pending.empty()) {
        std::unique_ptr<CommandNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->children_) pending.push_back(std::move(child));
        node->children_.clear();
    }
}

}  // namespace zq
