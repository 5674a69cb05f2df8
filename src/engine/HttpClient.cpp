#include "engine/HttpClient.h"

#include "engine/HttpText.h"

namespace brisalune {

HttpClient::HttpClient(RefreshLog& log, std::chrono::milliseconds deadline)
    : log_(log), deadline_(deadline) {}

HttpClient::~HttpClient() = default;

void HttpClient::AddField(const std::string& name, const std::string& value) {
    appendFormField(form_, name, value);
}

}  // namespace brisalune
