set(PLATFORM_CORE_SOURCES
  platform/numtext.cpp
  platform/paths.cpp
)
set(PLATFORM_QT_SOURCES
)
