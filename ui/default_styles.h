// The default look of every element kind, built in code, and the few shared
// styles and objects the toolkit uses for the whole run.
//
// Builders: each call makes a new tracked Style (ui/style.h), in the open
// style arena when there is one, that the caller hands to its item or
// screen; style-sheet rules are applied over it.
// Builders read the colour settings in force when they run.
//
// Start-up objects (the default item, container and label styles, the
// screen, tab and combo-box part styles, the shared rounded background and
// the shared commands) are built on first use, always into the registry
// (never into the arena of the page that asked first), and kept until
// freeTrackedStyles; after it the next use builds them again. They are
// shared: an item that wants to change one (the label style's font) takes
// its own copy first (createLabelStyle gives a fresh label style).
// The start-up styles that read colour settings (the label style) take the
// new colours when applyColorSettings runs, so a style built before the
// settings file was applied does not keep the old colours.
//
// Builders, start-up getters and applyColorSettings run on the UI thread
// (settings loaded by a worker are applied through postToUi): styles are
// read by painting without a lock.
#pragma once

#include <cstdint>
#include <memory>

#include "ui/client_context.h"
#include "ui/command.h"
#include "ui/style.h"

namespace zq {

class Background;

// Stores the colours in the current context and re-colours the start-up
// styles that read them.
void applyColorSettings(const ColorSettings& colors);

// --- start-up objects ---------------------------------------------------------
// White text, style font, nothing else: items and containers without a
// style of their own.
Style* defaultItemStyle();
// Spacings 1 1 1 1 1 5, filling the line at the left (kLayoutExpand |
// kLayoutLeft), text 0x1E5556 overridden by white, a black line border.
Style* defaultContainerStyle();
// The label style every Item::setLabel starts from ("sys-label-fc").
Style* defaultLabelStyle();
Style* screenDefaultStyle();

enum class TabStyleRole { Selected = 0, FocusedSelected = 1, Normal = 2 };
// The three tab looks of the tab bar: white with a black border, orange
// (0x00B3FF) with a black border, and plain.
Style* sharedTabStyle(TabStyleRole role);
// kFocusedStyle holds an empty style with the style font.
Style* tabItemStyle();

// FilledRoundRectBackground 0xC0C0C0, corners 10 x 10 (edit fields, kEditRoundBackground).
std::shared_ptr<Background> sharedRoundedBackground();
// "确定" (type 4, priority 2), "退出" (type 3, priority 3), "返" (type 2,
// priority 1). Every call gives the same command until freeTrackedStyles.
CommandRef sharedOkCommand();
CommandRef sharedExitCommand();
CommandRef sharedBackCommand();

// --- builders: each returns a new tracked Style --------------------------------
Style* createAlertStyle();
Style* createBatchDeleteFormStyle();
Style* createChoiceGroupStyle();
Style* createComboListStyle();
Style* createImageStyle();
Style* createSeparatorStyle();
Style* createFormStyle();
Style* createTextStyle();
Style* createSimpleTableStyle();
Style* createMarqueeStyle();
Style* createProgressBarStyle();
Style* createProgressBarFocusStyle();
Style* createHyperlinkStyle();
Style* createHyperlinkFocusStyle();
Style* createTreeItemStyle();
Style* createTreeItemFocusStyle();
Style* createTreeStyle();
Style* createListContainerStyle();
Style* createListContainerFocusStyle();
Style* createGridMenuStyle();
Style* createGridMenuFocusStyle();
Style* createTextFieldStyle();
Style* createTextFieldFocusStyle();
Style* createCommandItemStyle();
Style* createMenuCommandStyle();
Style* createMenuCommandFocusStyle();
Style* createPopupMenuStyle();
Style* createTabbedFormStyle();
Style* createTabbedFormFocusStyle();
Style* createTabStyle();
Style* createTabBarStyle();
Style* createTableStyle();
Style* createTableFocusStyle();
Style* createQuoteTableStyle();
Style* createTrustTableStyle();
Style* createComboBoxStyle();
Style* createComboOptionStyle();
Style* createComboOptionFocusStyle();
// Layout flags are `flags | kLayoutLeft` (kLayoutExpand puts each option on
// a line of its own).
Style* createChoiceItemStyle(uint32_t flags);
Style* createLabelStyle();
Style* createScreenDefaultStyle();

}  // namespace zq
