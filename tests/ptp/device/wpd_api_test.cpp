#include <gtest/gtest.h>

#include <string>

#include "ptp/device/wpd_api_win.h"

namespace {

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  const int length = StringFromGUID2(guid, text, 40);
  return length > 0 ? std::wstring(text) : std::wstring(L"(unprintable)");
}

struct GuidCase {
  const char* name;
  const GUID& guid;
  const wchar_t* expected;
};

// Every class id, interface id and content type the service or the simulated server
// uses, against the published values. A wrong digit makes a real system answer "class
// not registered" or "no such interface", or makes every folder look like a file.
TEST(WpdApiTest, GuidsHaveThePublishedValues) {
  const GuidCase cases[] = {
      {"CLSID_PortableDeviceManager", CLSID_PortableDeviceManager,
       L"{0AF10CEC-2ECD-4B92-9581-34F6AE0637F3}"},
      {"CLSID_PortableDeviceFTM", CLSID_PortableDeviceFTM,
       L"{F7C0039A-4762-488A-B4B3-760EF9A1BA9B}"},
      {"CLSID_PortableDevice", CLSID_PortableDevice, L"{728A21C5-3D9E-48D7-9810-864848F0F404}"},
      {"CLSID_PortableDeviceKeyCollection", CLSID_PortableDeviceKeyCollection,
       L"{DE2D022D-2480-43BE-97F0-D1FA2CF98F4F}"},
      {"CLSID_PortableDeviceValues", CLSID_PortableDeviceValues,
       L"{0C15D503-D017-47CE-9016-7B3F978721CC}"},
      {"CLSID_PortableDevicePropVariantCollection", CLSID_PortableDevicePropVariantCollection,
       L"{08A99E2F-6D6D-4B80-AF5A-BAF2BCBE4CB9}"},
      {"IID_IPortableDeviceManager", IID_IPortableDeviceManager,
       L"{A1567595-4C2F-4574-A6FA-ECEF917B9A40}"},
      {"IID_IPortableDevice", IID_IPortableDevice, L"{625E2DF8-6392-4CF0-9AD1-3CFA5F17775C}"},
      {"IID_IPortableDeviceContent", IID_IPortableDeviceContent,
       L"{6A96ED84-7C73-4480-9938-BF5AF477D426}"},
      {"IID_IPortableDeviceProperties", IID_IPortableDeviceProperties,
       L"{7F6D695C-03DF-4439-A809-59266BEEE3A6}"},
      {"IID_IEnumPortableDeviceObjectIDs", IID_IEnumPortableDeviceObjectIDs,
       L"{10ECE955-CF41-4728-BFA0-41EEDF1BBF19}"},
      {"IID_IPortableDeviceValues", IID_IPortableDeviceValues,
       L"{6848F6F2-3155-4F86-B6F5-263EEEAB3143}"},
      {"IID_IPortableDeviceKeyCollection", IID_IPortableDeviceKeyCollection,
       L"{DADA2357-E0AD-492E-98DB-DD61C53BA353}"},
      {"IID_IPortableDevicePropVariantCollection", IID_IPortableDevicePropVariantCollection,
       L"{89B2E422-4F1B-4316-BCEF-A44AFEA83EB3}"},
      {"IID_IPortableDeviceResources", IID_IPortableDeviceResources,
       L"{FD8878AC-D841-4D17-891C-E6829CDB6934}"},
      {"IID_IPortableDeviceCapabilities", IID_IPortableDeviceCapabilities,
       L"{2C8C6DBF-E3DC-4061-BECC-8542E810D126}"},
      {"IID_IPortableDeviceEventCallback", IID_IPortableDeviceEventCallback,
       L"{A8792A31-F385-493C-A893-40F64EB45F6E}"},
      {"WPD_CONTENT_TYPE_FOLDER", WPD_CONTENT_TYPE_FOLDER,
       L"{27E2E392-A111-48E0-AB0C-E17705A05F85}"},
      {"WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT", WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT,
       L"{99ED0160-17FF-4C44-9D98-1D7A6F941921}"},
      {"WPD_CONTENT_TYPE_IMAGE", WPD_CONTENT_TYPE_IMAGE, L"{EF2107D5-A52A-4243-A26B-62D4176D7603}"},
      {"WPD_CONTENT_TYPE_VIDEO", WPD_CONTENT_TYPE_VIDEO, L"{9261B03C-3D78-4519-85E3-02C5E1F50BB9}"},
  };
  for (const GuidCase& c : cases) {
    EXPECT_EQ(GuidText(c.guid), c.expected) << c.name;
  }
}

// __uuidof and IID_PPV_ARGS read the interface's own declaration, not the IID_
// constant, so the declarations are checked on their own.
TEST(WpdApiTest, InterfaceDeclarationsCarryThePublishedIids) {
  const GuidCase cases[] = {
      {"IPortableDeviceManager", __uuidof(IPortableDeviceManager),
       L"{A1567595-4C2F-4574-A6FA-ECEF917B9A40}"},
      {"IPortableDevice", __uuidof(IPortableDevice), L"{625E2DF8-6392-4CF0-9AD1-3CFA5F17775C}"},
      {"IPortableDeviceContent", __uuidof(IPortableDeviceContent),
       L"{6A96ED84-7C73-4480-9938-BF5AF477D426}"},
      {"IPortableDeviceProperties", __uuidof(IPortableDeviceProperties),
       L"{7F6D695C-03DF-4439-A809-59266BEEE3A6}"},
      {"IEnumPortableDeviceObjectIDs", __uuidof(IEnumPortableDeviceObjectIDs),
       L"{10ECE955-CF41-4728-BFA0-41EEDF1BBF19}"},
  };
  for (const GuidCase& c : cases) {
    EXPECT_EQ(GuidText(c.guid), c.expected) << c.name;
  }
}

struct KeyCase {
  const char* name;
  const PROPERTYKEY& key;
  const wchar_t* format_id;
  DWORD pid;
};

TEST(WpdApiTest, PropertyKeysHaveThePublishedValues) {
  constexpr wchar_t kObject[] = L"{EF6B490D-5CD8-437A-AFFC-DA8B60EE4A3C}";
  constexpr wchar_t kClient[] = L"{204D9F0C-2292-4080-9F42-40664E70F859}";
  constexpr wchar_t kDevice[] = L"{26D4979A-E643-4626-9E2B-736DC0C92FDC}";
  const KeyCase cases[] = {
      {"WPD_OBJECT_ID", WPD_OBJECT_ID, kObject, 2},
      {"WPD_OBJECT_PARENT_ID", WPD_OBJECT_PARENT_ID, kObject, 3},
      {"WPD_OBJECT_NAME", WPD_OBJECT_NAME, kObject, 4},
      {"WPD_OBJECT_CONTENT_TYPE", WPD_OBJECT_CONTENT_TYPE, kObject, 7},
      {"WPD_OBJECT_ORIGINAL_FILE_NAME", WPD_OBJECT_ORIGINAL_FILE_NAME, kObject, 12},
      {"WPD_CLIENT_NAME", WPD_CLIENT_NAME, kClient, 2},
      {"WPD_CLIENT_MAJOR_VERSION", WPD_CLIENT_MAJOR_VERSION, kClient, 3},
      {"WPD_CLIENT_MINOR_VERSION", WPD_CLIENT_MINOR_VERSION, kClient, 4},
      {"WPD_CLIENT_REVISION", WPD_CLIENT_REVISION, kClient, 5},
      {"WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE", WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE, kClient,
       8},
      {"WPD_CLIENT_DESIRED_ACCESS", WPD_CLIENT_DESIRED_ACCESS, kClient, 9},
      {"WPD_DEVICE_MANUFACTURER", WPD_DEVICE_MANUFACTURER, kDevice, 7},
      {"WPD_DEVICE_FRIENDLY_NAME", WPD_DEVICE_FRIENDLY_NAME, kDevice, 12},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(GuidText(c.key.fmtid), c.format_id) << c.name;
    EXPECT_EQ(c.key.pid, c.pid) << c.name;
  }
}

TEST(WpdApiTest, ConstantsHaveThePublishedValues) {
  EXPECT_EQ(std::wstring(WPD_DEVICE_OBJECT_ID), L"DEVICE");
  EXPECT_EQ(PORTABLE_DEVICE_DELETE_NO_RECURSION, 0);
  EXPECT_EQ(PORTABLE_DEVICE_DELETE_WITH_RECURSION, 1);
}

}  // namespace
