// The installer application: host discovery, then the setup dialog, then the end of the process.
#pragma once

#include "framework/Application.h"

class CWizardApp : public framework::CApplication {
 public:
  ~CWizardApp() override;
  bool InitInstance() override;

 protected:
  const Command* Commands(std::size_t& count) const override;
};

extern CWizardApp theApp;
