# The stub's source files, in one place for both builds.
# Core: portable logic, compiled into the stub and natively for the host tests and fuzzers.
set(VELKORIN_CORE_SOURCES
  support/heap.cpp
  support/string_list.cpp
  support/text_compare.cpp
  startup/package.cpp
  startup/command_line.cpp
  system/paths.cpp
  ui/appearance.cpp
  install/overwrite.cpp
  install/shortcut_filter.cpp
  script/variables_settling.cpp
  install/rename_section.cpp
  install/install_log_lines.cpp
  install/file_table.cpp
  install/uninstaller_image.cpp
  install/directory_levels.cpp
  system/windows_version_code.cpp
  script/setup_state.cpp
  script/records.cpp
  script/folder_token_table.cpp
  script/text_tools.cpp
  script/fields.cpp
  script/variables.cpp
  script/languages.cpp
  system/registry_roots.cpp
  system/registry_data.cpp
  system/requirements.cpp
  install/reboot_names.cpp
  uninstall/log_reader.cpp
  uninstall/removal_entries.cpp
)
# Shell: Win32-only code around the core, tested under Wine.
set(VELKORIN_SHELL_SOURCES
  support/pointer_array.cpp
  support/system_library.cpp
  startup/startup_stages.cpp
  startup/package_file.cpp
  startup/run_modes.cpp
  ui/message_box.cpp
  ui/messages.cpp
  system/windows_version.cpp
  system/security.cpp
  system/file_system.cpp
  system/folder_tokens.cpp
  install/file_version.cpp
  install/install_log.cpp
  install/launches.cpp
  install/worker_check_point.cpp
  install/worker_control.cpp
  install/shortcuts.cpp
  install/ini_entries.cpp
  install/install_worker.cpp
  startup/install_modes.cpp
  install/directory_chain.cpp
  install/file_area.cpp
  system/registry.cpp
  system/registry_log.cpp
  system/registry_entries.cpp
  system/user_language.cpp
  ui/fonts.cpp
  system/requirements_detection.cpp
  system/directx_probe.cpp
  install/shared_files.cpp
  install/reboot.cpp
  uninstall/removal_worker.cpp
  uninstall/uninstaller.cpp
  uninstall/leftover_tree.cpp
  uninstall/uninstall_window.cpp
  uninstall/self_removal.cpp
  ui/page_painting.cpp
  ui/dialog_templates.cpp
  resources/wizard_templates.cpp
  resources/uninstall_templates.cpp
  ui/page_procedure.cpp
  ui/wizard_pages.cpp
  ui/folder_pages.cpp
  ui/destination_check.cpp
  ui/wizard_frame.cpp
  ui/background_window.cpp
  startup/wizard_mode.cpp
)
# Only in velkorin.exe: the start routine, the entry point and the few C-runtime helpers the
# compiler expects.
set(VELKORIN_ENTRY_SOURCES
  startup/start_routine.cpp
  startup/entry.cpp
  support/runtime.cpp
  resources/velkorin.rc
)
# Host builds only (tests and fuzzers): the Win32 stand-in and the doubles of the shell functions
# that the core calls.
set(VELKORIN_HOST_STANDIN_SOURCES
  tests/host/win32_standin.cpp
  tests/host/system_doubles.cpp
)
# Shell code that the host builds also compile, over the stand-in's in-memory files: the package
# locator, which the fuzzers and the damaged-file tests run on every variant of a setup file.
set(VELKORIN_HOST_SHELL_SOURCES
  startup/package_file.cpp
)
list(TRANSFORM VELKORIN_HOST_STANDIN_SOURCES PREPEND "${VELKORIN_ROOT}/")
list(TRANSFORM VELKORIN_HOST_SHELL_SOURCES PREPEND "${VELKORIN_ROOT}/src/")
list(TRANSFORM VELKORIN_CORE_SOURCES PREPEND "${VELKORIN_ROOT}/src/")
list(TRANSFORM VELKORIN_SHELL_SOURCES PREPEND "${VELKORIN_ROOT}/src/")
list(TRANSFORM VELKORIN_ENTRY_SOURCES PREPEND "${VELKORIN_ROOT}/src/")
