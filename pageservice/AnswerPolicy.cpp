#include "pageservice/AnswerPolicy.h"

#include "pageservice/SharedPageStream.h"
#include "server/http/HTTPResponseInfo.h"

void TAnswerPolicy::Write(const THTTPRequestInfo&, TAnswer answer, THTTPResponseInfo& response) const
{
    response.SetResponseCode(answer.code);
    response.ContentType = std::move(answer.contentType);
    for (auto& [name, value] : answer.headers)
        response.Headers.SetValue(name, value);
    if (answer.page)
        response.ContentStream = std::make_unique<TSharedPageStream>(std::move(answer.page), answer.pageFile);
    else
        response.ContentText = std::move(answer.text);
}
