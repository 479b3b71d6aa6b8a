// TEST-ONLY: see ranges_stand_in.cc.
#ifndef TAVREL_AGENT_TESTS_RANGES_STAND_IN_H
#define TAVREL_AGENT_TESTS_RANGES_STAND_IN_H

// Number of provider objects the stand-in deleters were asked to delete.
extern int g_standInDeletedObjects;

#endif
