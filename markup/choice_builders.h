// Builders of the zqml choice elements: "choicegroup"/"cg" (a ChoiceGroup,
// one option per line), "singlelinechoicegroup"/"scg" (an InLineChoiceGroup,
// options on one line), "combobox"/"cmb" (a FilteredChoiceGroup) and
// "hostset" (the server chooser: a carrier combo box switching between one
// host list per carrier in a SwitchContainer).
//
// They follow the rules of markup/text_builders.h (attributes, style layers,
// registration). Every child element of a group or combo box that is not
// "command"/"cmd" is an option, whatever its name; an option without a
// value submits "". Unknown mode words give the exclusive mode; only
// "multiple" and, for the combo box, "implitcit" (spelled so in pages)
// choose the others. Each control reports its changes to the page's host
// with its "onchange" action.
//
// Threads: UI thread, while the page is built.
#pragma once

namespace zq {

class Item;
class MarkupPage;
class XmlParser;

Item* buildChoiceGroup(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildSingleLineChoiceGroup(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildComboBox(MarkupPage& page, XmlParser& node, Item* parent);
// Reads the settings, not the element: "sys-cm-iplist", "sys-ct-iplist",
// "sys-uni-iplist", the choice mode "sys-hostset-mode" and the saved host
// ("sys-last-choice", or "sys-curhost" in mode "1").
Item* buildHostSet(MarkupPage& page, XmlParser& node, Item* parent);

}  // namespace zq
