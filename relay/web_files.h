// The page's files, served by soccer-relay from the folder given with --web.
#pragma once

#include <boost/beast/http.hpp>
#include <string>

using WebResponse = boost::beast::http::response<boost::beast::http::string_body>;

// The answer to one request: the file under folder that the target names
// (index.html for a folder), 404 for none or for any target that would leave
// the folder, 405 for a method other than GET and HEAD.
WebResponse
webFileResponse(const std::string& folder,
                const boost::beast::http::request<boost::beast::http::empty_body>& request);
// The Content-Type of a file name.
const char* webContentType(const std::string& name);
