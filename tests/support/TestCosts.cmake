# Rough milliseconds a test takes on a quiet 2-core machine, for ctest's COST: with -j2 it
# starts the costliest tests first, so that the short ones fill both cores at the end and the
# two finish together. Only the order depends on these figures; stale ones cost time, not
# results. (ctest's own timings of earlier runs do not replace a COST that is set.)

# gtest suites whose tests start programs or walk long documents: milliseconds per test.
set(SONIVAR_SUITE_MILLISECONDS
  CliTest=500 CliProcessTest=350 BatchProcessTest=450 FormatCliTest=800 PlotCli=450
  Signals/InfoAndTarget=800 Noises/CeilingOnNoise=650 Cases/LimiterReachesTarget=450
  EveryCase/BitIdentity=250 SoundFileImportTest=300 ManyChannelDocumentTest=500
  MetadataKeptTest=450 TickTimerThread=500 SequentialWriteBehind=300
  NormalizeWhileSavingTest=200 AtomicFileWriter=100 FileMemory=100
  FormatDepthChannels/FormatRoundTrip=100 WaveTest=80 PlayerThread=80 TimbreFileTest=100
  DemoRecording=100 RemasterChainTest=100)
# Every other gtest.
set(SONIVAR_DEFAULT_TEST_MILLISECONDS 30)

# The other test programs, whole.
set(SONIVAR_PROGRAM_MILLISECONDS
  MainWindowTest=5000 PlaybackTest=5300 UndoTest=2500 HelpWindowTest=2200 CommandsTest=1900
  SpectrumWindowTest=1600 ShortRecordingTest=1400 WaveformViewTest=1300 WindowCuesTest=1200
  KeyboardAndLayoutTest=500 LayeringCheck=700)

# Sets out_var to the figure listed for name in the list named table, or to fallback.
function(sonivar_listed_cost table name fallback out_var)
  set(cost ${fallback})
  foreach(entry IN LISTS ${table})
    if(entry MATCHES "^(.+)=([0-9]+)$" AND CMAKE_MATCH_1 STREQUAL name)
      set(cost ${CMAKE_MATCH_2})
    endif()
  endforeach()
  set(${out_var} ${cost} PARENT_SCOPE)
endfunction()
