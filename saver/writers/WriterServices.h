// What the record writers need of the saver runtime. The runtime installs the real procedures
// at start-up; tests install their own.
#pragma once
#include <QString>
#include <cstdint>
#include <functional>

struct WriterServices {
    // Fills TagValue, TagTime and TagMessage of every field of the group.
    std::function<void(int16_t group)> GetFieldValues;
    // Resolves one tag reference: kind ("VALUE"/"MSG"/""), value, message, read flag;
    // true when the HMI system defines the tag.
    std::function<bool(const QString& ref, QString& kind, double& value, QString& message, int16_t& readFlag)>
        GetTagRefData;
    // A tag name to its handle; 65535 when the HMI system does not define it.
    std::function<uint16_t(const QString& name)> FindTagHandle;
    // Writes a status tag by its tag-bank index.
    std::function<void(int32_t bankIndex, double value)> WriteStatusTag;
    // Closes the group's connection and logs it.
    std::function<void(int16_t group)> CloseDBConnection;
    // The main window shows the group's records-saved count (when it shows that group).
    std::function<void(int16_t group)> ShowRecordCount;
    // The main window's target path box shows a new dispersed file.
    std::function<void(const QString& path)> ShowTargetPath;
};

WriterServices& Services();
