// One HTTP exchange: a GET of a URL, or a POST of a form collected field by field. The answer's
// body comes back as text by the reading rule of AnswerLines (HttpText.h), empty when nothing
// could be read; an error page comes back like any body, and its status code beside it.
// Nothing is retried here: retries of weather downloads are the refresh engine's business.
// Answers come over plain HTTP from anyone on the path, so every exchange is bounded: a body
// larger than kMaxAnswerBytes, or one still arriving when the deadline has passed, is given up
// where it stands and comes back empty, with a line in the log.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace brisalune {

class RefreshLog;

class HttpClient {
  public:
    static constexpr size_t kMaxAnswerBytes = 1024 * 1024;
    // On top of the time-out of each step, which a server sending a byte now and then never
    // reaches. It is looked at before every read of the body, so a read already waiting may
    // overrun it by up to one time-out; headers are bounded by the time-outs alone.
    static constexpr std::chrono::milliseconds kDeadline{30000};

    // A read that breaks off midway is reported in this log, which must outlive the client.
    explicit HttpClient(RefreshLog& log, std::chrono::milliseconds deadline = kDeadline);
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
    std::chrono::milliseconds deadline_;
    std::string form_;
    int status_ = 0;
};

}  // namespace brisalune
