#pragma once

// What a Windows build publishes for the control as an ActiveX server and in
// the library's version block. Nothing here is built into the Linux plug-in;
// the class, interface and events identifiers are VelIn's class information
// ("ClassID", "InterfaceID", "EventsID").
namespace ActiveXIdentity {

constexpr char className[] = "VelIn";
constexpr char factoryTypeName[] = "VelIn*";
constexpr char typeLibraryId[] = "{08538ca5-eb7a-4f24-a3c4-a120c6e04dc4}";
constexpr char applicationId[] = "{aa3216bf-7e20-482c-84c6-06167bacb616}";
constexpr int typeLibraryResourceId = 1; // resource type "TYPELIB"

// Version block, language 0x0409 (English), code page 1252; file and product version 1.0.0.0.
constexpr unsigned short versionLanguage = 0x0409;
constexpr unsigned short versionCodePage = 1252;
constexpr char companyName[] = "Velamaris";
constexpr char fileDescription[] = "VelIn";
constexpr char fileExtents[] = "xxx";
constexpr char fileOpenName[] = "Open Velamaris Berth Kit (*.xxx)";
constexpr char fileVersion[] = "1, 0, 0, 1";
constexpr char internalName[] = "VelIn";
constexpr char mimeType[] = "VelIn/very";
constexpr char originalFilename[] = "VelIn.dll";
constexpr char productName[] = "Velamaris VelIn";
constexpr char productVersion[] = "1, 0, 0, 0";

} // namespace ActiveXIdentity
