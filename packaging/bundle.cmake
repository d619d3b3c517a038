# What the portable bundle is called, for the packaging rules and for the test that unpacks it:
# tq8400-cal-<version>-<system>-<processor>, e.g. tq8400-cal-1.0-linux-x86_64.
string(TOLOWER "${CMAKE_SYSTEM_NAME}" tq_bundle_system)
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" tq_bundle_processor)
set(TQ_BUNDLE_NAME "tq8400-cal-${PROJECT_VERSION}-${tq_bundle_system}-${tq_bundle_processor}")

# The desktop's name for the tool (reverse domain name): the desktop entry is installed as
# <id>.desktop and the AppStream metadata as <id>.metainfo.xml.
set(TQ_APP_ID "com.example.tq8400cal" CACHE STRING
    "Reverse-domain identifier of the tool for the desktop entry and the AppStream metadata")
