# JUCE's module targets are INTERFACE libraries: every target that linked them directly would
# compile the modules again. They are compiled once here, into one static library that the app,
# the tools and every test executable link.
add_library(zarvo_juce STATIC)
target_link_libraries(zarvo_juce
  PRIVATE
    juce::juce_core
    juce::juce_events
    juce::juce_data_structures
    juce::juce_graphics
    juce::juce_gui_basics
  PUBLIC
    # Debian's JUCE decodes images with the system's libpng and libjpeg.
    PNG::PNG
    JPEG::JPEG)
target_compile_definitions(zarvo_juce
  PUBLIC
    JUCE_STANDALONE_APPLICATION=1
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    # Tests run the message loop with runDispatchLoopUntil, which needs modal loops.
    JUCE_MODAL_LOOPS_PERMITTED=1
    # The project is GPL-3.0-or-later, which JUCE's GPL licence allows without the splash badge.
    JUCE_DISPLAY_SPLASH_SCREEN=0)
# Pass the modules' include directories and definitions on without their sources.
target_include_directories(zarvo_juce SYSTEM
  INTERFACE $<TARGET_PROPERTY:zarvo_juce,INCLUDE_DIRECTORIES>)
target_compile_definitions(zarvo_juce
  INTERFACE $<TARGET_PROPERTY:zarvo_juce,COMPILE_DEFINITIONS>)
set_target_properties(zarvo_juce PROPERTIES POSITION_INDEPENDENT_CODE ON)

if(ZARVO_SANITIZE)
  # JUCE 7.0.5 copies an empty MemoryBlock with memcpy (nullptr, nullptr, 0) (MemoryBlock::operator=,
  # reached by copying an empty juce::URL): undefined by the letter of the C library, harmless in
  # practice, and not our code. Only JUCE's own sources are exempt from that one check.
  target_compile_options(zarvo_juce PRIVATE -fno-sanitize=nonnull-attribute)
endif()
