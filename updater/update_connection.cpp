#include "updater/update_connection.h"

HttpSession& UpdateConnection() {
    static HttpSession session;
    return session;
}
