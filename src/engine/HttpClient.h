// One HTTP exchange: a GET of a URL, or a POST of a form collected field by field. The answer's
// body comes back as text by the reading rule of AnswerLines (HttpText.h), empty when nothing
// could be read; an error page comes back like any body, and its status code beside it.
// Nothing is retried here: retries of weather downloads are the refresh engine's business.
#pragma once

#include <string>

namespace brisalune {

class RefreshLog;

class HttpClient {
  public:
    // A read that breaks off midway is reported in this log, which must outlive the client.
    explicit HttpClient(RefreshLog& log);
    virtual ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // URLs are UTF-8. Each exchange opens its own internet session and closes it before
    // returning, so no connection is shared between exchanges or threads. Redirects are
    // followed.
    std::string Get(const std::string& url);
    // Appends one form field; fields are sent in the order added.
    void AddField(const std::string& name, const std::string& value);
    // Sends the form collected so far. A redirect answer is not followed: its own body comes
    // back.
    std::string Post(const std::string& url);

    const std::string& formBody() const { return form_; }
    // The status code of the last exchange's answer; 0 when no answer arrived.
    int status() const { return status_; }

  private:
    RefreshLog& log_;
    std::string form_;
    int status_ = 0;
};

}  // namespace brisalune
