#pragma once
// The update's version, list and signature requests go one after another, the first on
// the window thread at start-up, the others on the worker once it runs: one connection
// serves them all, so a server over https costs one TLS handshake instead of three.

#include "shared/http.h"

HttpSession& UpdateConnection();
