#include "store/CityListStore.h"

#include "base/Texts.h"
#include "base/XmlFile.h"
#include "model/Records.h"

namespace brisalune {

namespace {

// The value of a city's "source" attribute for the second weather source.
constexpr char kOpenMeteo[] = "open-meteo";

void readDay(const pugi::xml_node& element, ForecastDay& day) {
    for (const pugi::xml_attribute& attribute : element.attributes()) {
        const std::string name = attribute.name();
        if (name == "alert") {
            day.alert = std::string_view(attribute.value()) == "1";
        } else {
            setForecastAttribute(day, name, attribute.value());
        }
    }
}

}  // namespace

CityListStore::CityListStore(std::string programDirectory)
    : directory_(std::move(programDirectory)) {}

std::string CityListStore::path() const {
    return joinPath(directory_, "citylist.xml");
}

void CityListStore::load(CityTable& table) const {
    pugi::xml_document document;
    if (loadXmlFile(path(), document) != XmlLoad::Loaded) {
        return;
    }
    for (const pugi::xml_node& cityElement : document.document_element().children("city")) {
        // Attributes are taken by position, whatever they are called.
        const pugi::xml_attribute first = cityElement.first_attribute();
        const pugi::xml_attribute second = first.next_attribute();
        if (!second) {
            continue;
        }
        CityRecord city(table.count(), first.value(), second.value(), ORIGIN_USER);
        if (std::string_view(cityElement.attribute("source").value()) == kOpenMeteo) {
            city.info.source = ForecastSource::OpenMeteo;
        }
        for (const pugi::xml_node& dayElement : cityElement.children("forecast")) {
            ForecastDay day;
            readDay(dayElement, day);
            city.addDay(std::move(day));
        }
        table.append(std::move(city));
    }
}

bool CityListStore::save(const CityTable& table) const {
    XmlWriter document;
    document.open("citylist");
    for (int i = 0; i < table.count(); ++i) {
        const CityRecord& city = *table.at(i);
        document.open("city");
        document.attribute("name", city.info.name);
        document.attribute("param", city.info.param);
        // Only a city that moved to Open-Meteo says so: every other list is written as it always
        // was, and a reader that takes the first two attributes by position reads it the same.
        if (city.info.source == ForecastSource::OpenMeteo) {
            document.attribute("source", kOpenMeteo);
        }
        for (const ForecastDay& day : city.days()) {
            document.open("forecast");
            document.attribute("alert", day.alert ? "1" : "0");
            document.attribute("low", day.low);
            document.attribute("high", day.high);
            document.attribute("skycodeday", day.skycodeday);
            document.attribute("skytextday", day.skytextday);
            document.attribute("date", day.date);
            document.attribute("day", day.day);
            document.attribute("shortday", day.shortday);
            document.attribute("precip", day.precip);
            document.close();
        }
        document.close();
    }
    document.close();
    return saveXmlFile(document, path());
}

}  // namespace brisalune
