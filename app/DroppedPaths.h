// The local files and folders of a drop, as the paths the file system knows them by.
#pragma once

#include <string>
#include <vector>

class QMimeData;
class QUrl;

namespace palomix {

// The path of a file URL ("file:///..." or "file://localhost/..."); empty for any other URL.
// The percent-decoded bytes of the URL's path are the name: a name that is not UTF-8 (a file
// manager sends "caf%E9.wav") is kept byte for byte, never replaced by what a conversion to
// text would make of it.
std::string LocalPathOfUrl(const QUrl& url);

// The local paths of a drop, in order, as its URLs name them: the core takes them as every
// incoming path is taken (IncomingPath).
std::vector<std::string> DroppedPaths(const QMimeData* mime);

}  // namespace palomix
