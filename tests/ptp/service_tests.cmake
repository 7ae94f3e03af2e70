# The clean-up service end to end from channel bytes, over the engine stand-in and the
# simulated phone. Most cases start worker threads, so the whole suite is labelled for
# the thread sanitizer.
camvey_add_gtest(camvey_ptp_service_test
  SOURCES ptp_channel_test.cpp ptp_dispatch_test.cpp ptp_job_test.cpp ptp_reply_test.cpp
          reply_queue_test.cpp
  LIBRARIES camvey_ptp camvey_phone_standin camvey_engine_standin
  LABELS concurrency)

# The Windows hand-over: the reply window, posted messages and the worker's apartment.
if(WIN32)
  camvey_add_gtest(camvey_ptp_reply_window_test
    SOURCES reply_window_test.cpp
    LIBRARIES camvey_ptp camvey_phone_standin camvey_engine_standin
    LABELS concurrency)
  # A second process that posts to the reply window, as a stranger on the desktop can;
  # the test finds it beside itself.
  add_executable(camvey_reply_poster reply_poster_win.cpp)
  target_link_libraries(camvey_reply_poster PRIVATE user32)
  camvey_warnings(camvey_reply_poster)
  add_dependencies(camvey_ptp_reply_window_test camvey_reply_poster)
endif()
