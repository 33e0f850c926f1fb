// One connection of the test peer, run on its own thread (internal).
#pragma once

#include "tools/zq-testserver/page_server.h"

namespace zq::testserver {

// Serves requests on `socket` until the peer closes, the connection stays
// idle past the server's idle time, a fault ends it or the server stops.
// The socket is shut down, never closed, here: its owner closes it.
void serveConnection(PageServer& server, TcpSocket& socket, Transport transport);

}  // namespace zq::testserver
