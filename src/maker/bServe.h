// Installing books over the air: a read-only web server for one folder of
// midlets (`paginor -serve DIR [PORT]`), and the index page it shows, which
// the batch form can also write as a file for any other web server.
//
// Only the index ("/" or "/index.html") and the JADs and JARs lying directly
// in the folder as regular files are served; a name holding "/", "..", a
// leading dot, a symbolic link (even one that points into the folder) and
// anything else is refused, so nothing outside the folder is ever read.
#pragma once

#include "core/bObject.h"

#include <string>

namespace paginor {

// One answer of the server, made without any socket.
struct TServeAnswer {
    int Status = 404;
    std::string ContentType;
    std::string Body;
};

// The index page of the folder's books (XHTML Mobile Profile, UTF-8): each
// book's title, author, size and JAD link, the parts of a divided book
// grouped under one title.
std::string ComposeIndexPage(const std::u16string& folder);

// The answer for one decoded request path.
TServeAnswer AnswerRequest(const std::u16string& folder, const std::string& path);

// The -serve command: `arguments` are what follows "-serve" (the folder and
// an optional "[ADDRESS:]PORT", 8080 on every address by default; port 0
// takes a free one). Serves until SIGINT or SIGTERM and returns the exit
// status; a wrong argument gives 2, a folder or port that cannot be used 1.
int ServeFolder(int count, char** arguments);

} // namespace paginor
