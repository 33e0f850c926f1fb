// Pictures a page names: "img" sources and the reply-driven pictures of the
// page's screen.
//
// A source resolves against the link the page was requested with, as links
// do: "scheme:..." is used as it is, "/path" goes after the scheme and host,
// and a bare name into the page's folder; the page's query never takes part. "file://" names load
// from the program folder (never outside it); "http://" pictures are fetched
// once per page without blocking and the decoded picture goes to every item
// that asked for it. UI thread.
#pragma once

#include <memory>

#include "platform/cstring.h"

namespace zq {

class ImageItem;
class Item;
class MarkupPage;

// The full address of a picture source; empty when the source is empty.
CString resolvePictureSource(const CString& base, const CString& source);

// Loads the picture `source` names for `target` (its setImage).
void loadImageSource(MarkupPage& page, Item& target, const CString& source);

// Puts a remote plain picture on the page's list of reply-driven items: it
// gets its own listener (the page keeps it) and asks for its picture, under
// its position in the list, whenever its screen is shown.
void addReplyDrivenItem(MarkupPage& page, ImageItem& item);
// Fills the screen's control list from the page's list and makes it the one
// the replies of kind 3 reach; the listeners leave the registry with the page.
void registerReplyDrivenItems(MarkupPage& page);

}  // namespace zq
