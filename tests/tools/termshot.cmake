# termshot.cmake -- the screenshot scorer finds the drawn area and scores it with values worked out by hand
add_test(NAME TermshotScoresKnownDrawings
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/termshot_test.sh $<TARGET_FILE:kerv16-termshot>)
set_tests_properties(TermshotScoresKnownDrawings PROPERTIES LABELS e2e)
