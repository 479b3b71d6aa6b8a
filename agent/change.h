// The change bracket: the one way a change of the DHCP configuration is
// made. Opening a change stages it (a copy of everything a change may touch
// is kept); the change is then made to the live records, and commit()
// validates and applies it (dhcpCompCommitConfigurationChanges: dhcpd -t,
// both files, the server) and acknowledges it. Any failure, and a change
// that is left without commit(), puts back everything it touched: every
// LAN's record, the pools of range and reservation objects with their
// counts, and what those objects show (gateways included). Brackets nest:
// only the outermost one commits.
#ifndef TAVREL_AGENT_DHCPCOMPCHANGE_H
#define TAVREL_AGENT_DHCPCOMPCHANGE_H

#include <memory>

#include "tavrel_export.h"

class TAVREL_EXPORT DhcpCompChange {
 public:
  DhcpCompChange();
  // Rolls the change back unless it was committed.
  ~DhcpCompChange();
  DhcpCompChange(const DhcpCompChange&) = delete;
  DhcpCompChange& operator=(const DhcpCompChange&) = delete;

  // Applies the change. 0 when applied (or left to an enclosing change);
  // otherwise the commit's code (dhcpresult.h), with the reason in
  // dhcpCompCommitFailureText, and the change rolled back.
  int commit();
  // Puts back what the change touched; nothing once committed.
  void rollback();

 private:
  struct Saved;
  std::unique_ptr<Saved> m_saved;
  bool m_done = false;
  bool m_outermost;
};

#endif
