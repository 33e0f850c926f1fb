// Pictures a page names: "img" sources and the reply-driven pictures of the
// page's screen.
//
// A source resolves against the link the page was requested with, as links
// do: "scheme:..." is used as it is, "/path" goes after the scheme and host,
// and a bare name after the base (with a "/" between). "file://" names load
// from the program folder (never outside it); "http://" pictures are fetched
// once per page without blocking and the decoded picture goes to every item
// that asked for it. UI thread.
#pragma once

#include <memory>

#include "platform/cstring.h"

namespace zq {

class ImageDataListener;
class Item;
class MarkupPage;

// The full address of a picture source; empty when the source is empty.
CString resolvePictureSource(const CString& base, const CString& source);

// Loads the picture `source` names for `target` (its setImage).
void loadImageSource(MarkupPage& page, Item& target, const CString& source);

// Keeps `listener` on the page's list of reply-driven items (the pictures
// that arrive later as replies of kind 3, in list order).
void addReplyDrivenItem(MarkupPage& page, std::unique_ptr<ImageDataListener> listener);
// Makes the page's list the one the replies of kind 3 reach; the list
// leaves the registry with the page.
void registerReplyDrivenItems(MarkupPage& page);

}  // namespace zq
