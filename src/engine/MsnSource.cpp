#include "engine/MsnSource.h"

#include "base/XmlFile.h"
#include "engine/HttpText.h"

namespace brisalune {

namespace {

constexpr char kServiceOrigin[] = "http://weather.service.msn.com";
constexpr char kRequestPath[] = "/data.aspx?weadegreetype=F&wealocations=";

ForecastDay readDay(const pugi::xml_node& element) {
    ForecastDay day;
    // Other attributes, an "alert" among them, are not the service's forecast and are ignored.
    for (const pugi::xml_attribute& attribute : element.attributes()) {
        setForecastAttribute(day, attribute.name(), attribute.value());
    }
    return day;
}

}  // namespace

ForecastList MsnSource::ParseForecast(const std::string& text) {
    ForecastList days;
    pugi::xml_document document;
    if (!parseXmlText(text, document)) {
        return days;
    }
    pugi::xml_node weather = document.document_element().first_child();
    while (weather && weather.type() != pugi::node_element) {
        weather = weather.next_sibling();
    }
    // Only `forecast` counts; `current` and everything else the service adds is skipped.
    for (const pugi::xml_node& element : weather.children("forecast")) {
        if (days.size() == kMaxDays) {
            break;
        }
        days.push_back(readDay(element));
    }
    return days;
}

std::string MsnSource::RequestUrl(const std::string& param, const std::string& origin) {
    return serviceOrigin(origin, "BRISALUNE_WEATHER_URL", kServiceOrigin) + kRequestPath + param;
}

}  // namespace brisalune
