// The action dispatcher. A page names what a link, button, soft key or event
// does as an action string: single actions "name(arguments)" joined by '|'
// (no escaping: every '|' separates, also inside parentheses). Each name is
// matched without regard to case against the action table, long name first,
// then alias; the matching row's handler receives the whole piece and cuts
// its own argument (cutActionArgument).
//
// Runs on the caller's thread and keeps no state between calls apart from
// the nesting depth of the thread it runs on.
#pragma once

#include <functional>
#include <optional>
#include <span>

#include "platform/cstring.h"

namespace zq {

class PageController;

// Runs one action piece on the controller.
using ActionHandler = void (*)(PageController& controller, const CString& piece);

struct ActionRow {
    const char16_t* longName;
    // Null when the action has no short name.
    const char16_t* alias;
    // Null: the name is accepted and nothing runs.
    ActionHandler handler;
};

// Action strings run by actions ("switchforward", "confirm", ...) nest at
// most this deep on one thread; a string deeper than that does not run.
inline constexpr int kMaxActionDepth = 16;

// The rows in the order of comparison.
std::span<const ActionRow> actionTable();
// The first row whose long name or alias equals `word` (any case); null for
// an unknown word.
const ActionRow* findActionRow(const CString& word);

using ActionRunner = std::function<void(const ActionRow& row, const CString& piece)>;

// Splits `actions` at '|' (pieces trimmed) and hands each piece whose action
// word is known to `run`, in order. An unknown word is skipped; a piece
// without letters or digits ends the string. False when the string was not
// run because actions already nest kMaxActionDepth deep on this thread.
bool dispatchActions(const CString& actions, const ActionRunner& run);

// The argument of an action piece: when the piece starts with `longName`
// (any case) it begins one character after the name, else one character
// after an alias of that length; it ends before the piece's last character.
// The characters skipped are not checked. Empty when nothing lies between;
// never reaches past the piece.
CString cutActionArgument(const CString& piece, const CString& longName, const CString& alias);

// What a link inside an action string becomes once values are added to it;
// nullopt when nothing is to be sent.
using LinkFiller = std::function<std::optional<CString>(const CString& link)>;

// Hands `fill` each link that `actions` would open, in order: the argument
// of every forward, kolmforward, getdata, update and gettablerow of the
// chain, whatever its place, also as a confirm's Yes or a switchforward's
// branch. Gives `actions` with each link replaced by what `fill` made of
// it; the empty text once `fill` gave nullopt (it is not asked again);
// nullopt when `actions` opens no link. What `fill` adds must hold no '|',
// '(', ')' or ',' of its own, or it would cut the string.
std::optional<CString> fillActionLinks(const CString& actions, const LinkFiller& fill);

}  // namespace zq
