# The bundle test (app_bundle_test) unpacks the archive that CPack makes from this build tree.
# The archive is made once, by the test app_bundle_archive, before any bundle test runs.
include(${PROJECT_SOURCE_DIR}/packaging/bundle.cmake)

if(TARGET app_bundle_test)
    set(tq_bundle_dir ${CMAKE_CURRENT_BINARY_DIR}/bundle)
    add_test(NAME app_bundle_archive
             COMMAND ${CMAKE_CPACK_COMMAND} --config ${PROJECT_BINARY_DIR}/CPackConfig.cmake
                     -B ${tq_bundle_dir})
    set_tests_properties(app_bundle_archive PROPERTIES FIXTURES_SETUP tq_bundle TIMEOUT 120)

    target_compile_definitions(app_bundle_test PRIVATE
        TQ_BUNDLE_ARCHIVE="${tq_bundle_dir}/${TQ_BUNDLE_NAME}.tar.gz"
        TQ_BUNDLE_TOP="${TQ_BUNDLE_NAME}"
        TQ_APP_ID="${TQ_APP_ID}"
        TQ_VERSION="${PROJECT_VERSION}")

    # The bundle test cases are found when CTest runs (gtest_discover_tests leaves their names
    # in app_bundle_test_TESTS); this file, read by CTest after them, makes each wait for the
    # archive.
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/bundle_fixture.cmake
         "if(app_bundle_test_TESTS)\n"
         "    set_tests_properties(\${app_bundle_test_TESTS} PROPERTIES FIXTURES_REQUIRED tq_bundle)\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES
                 ${CMAKE_CURRENT_BINARY_DIR}/bundle_fixture.cmake)
endif()
