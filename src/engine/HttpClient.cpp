#include "engine/HttpClient.h"

#include "engine/HttpText.h"

namespace brisalune {

HttpClient::HttpClient(RefreshLog& log) : log_(log) {}

HttpClient::~HttpClient() = default;

void HttpClient::AddField(const std::string& name, const std::string& value) {
    appendFormField(form_, name, value);
}

}  // namespace brisalune
