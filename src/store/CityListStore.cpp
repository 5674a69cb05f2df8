#include "store/CityListStore.h"

#include <tinyxml.h>

#include "base/Texts.h"
#include "model/Records.h"
#include "base/XmlFile.h"

namespace brisalune {

namespace {

void readDay(const TiXmlElement& element, ForecastDay& day) {
    for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next()) {
        if (attribute->NameTStr() == "alert") {
            day.alert = attribute->ValueStr() == "1";
        } else {
            setForecastAttribute(day, attribute->NameTStr(), attribute->ValueStr());
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
    TiXmlDocument document;
    if (loadXmlFile(path(), document) != XmlLoad::Loaded) {
        return;
    }
    for (const TiXmlElement* cityElement = document.RootElement()->FirstChildElement();
         cityElement != nullptr; cityElement = cityElement->NextSiblingElement()) {
        if (cityElement->ValueStr() != "city") {
            continue;
        }
        // Attributes are taken by position, whatever they are called.
        const TiXmlAttribute* first = cityElement->FirstAttribute();
        const TiXmlAttribute* second = first != nullptr ? first->Next() : nullptr;
        if (second == nullptr) {
            continue;
        }
        CityRecord city(table.count(), first->ValueStr(), second->ValueStr(), ORIGIN_USER);
        for (const TiXmlElement* dayElement = cityElement->FirstChildElement();
             dayElement != nullptr; dayElement = dayElement->NextSiblingElement()) {
            if (dayElement->ValueStr() != "forecast") {
                continue;
            }
            ForecastDay day;
            readDay(*dayElement, day);
            city.addDay(std::move(day));
        }
        table.append(std::move(city));
    }
}

bool CityListStore::save(const CityTable& table) const {
    TiXmlDocument document;
    auto* root = new TiXmlElement("citylist");
    document.LinkEndChild(root);
    for (int i = 0; i < table.count(); ++i) {
        const CityRecord& city = *table.at(i);
        auto* cityElement = new TiXmlElement("city");
        cityElement->SetAttribute(std::string("name"), city.info.name);
        cityElement->SetAttribute(std::string("param"), city.info.param);
        for (const ForecastDay& day : city.days()) {
            auto* dayElement = new TiXmlElement("forecast");
            dayElement->SetAttribute("alert", day.alert ? "1" : "0");
            dayElement->SetAttribute("low", day.low);
            dayElement->SetAttribute("high", day.high);
            dayElement->SetAttribute("skycodeday", day.skycodeday);
            dayElement->SetAttribute(std::string("skytextday"), day.skytextday);
            dayElement->SetAttribute(std::string("date"), day.date);
            dayElement->SetAttribute(std::string("day"), day.day);
            dayElement->SetAttribute(std::string("shortday"), day.shortday);
            dayElement->SetAttribute(std::string("precip"), day.precip);
            cityElement->LinkEndChild(dayElement);
        }
        root->LinkEndChild(cityElement);
    }
    return saveXmlFile(document, path());
}

}  // namespace brisalune
