#include "http/client.h"
#include "http/web_fetch.h"

ByteSet web_fetch(const Text& request_url, const WebFetchOptions& options) {
    return web_fetch(http_client(), request_url, options);
}
