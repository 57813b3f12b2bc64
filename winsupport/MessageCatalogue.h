#pragma once
// Every visible text comes from the bilingual string table; the resource
// loader picks German on a German user interface and English otherwise.

#include <string>

namespace msg {
constexpr int ProgramTitle = 100;
constexpr int NotAvailable = 102;
constexpr int MdacInstalled = 103;
constexpr int ShouldVerifyFiles = 104;
constexpr int RepairButton = 106;
constexpr int Step1Heading = 107;
constexpr int WelcomeIntro = 108;
constexpr int WelcomeContinue = 110;
constexpr int Step2Heading = 111;
constexpr int WelcomeTitle = 112;
constexpr int VersionsDetected = 113;
constexpr int NewerMdacAvailable = 114;
constexpr int MdacDownloadUrl = 117;
constexpr int RepairInstructionsUrl = 120;
constexpr int XpServicePackUrl = 122;
constexpr int Processing = 123;
constexpr int NextButton = 124;
constexpr int BackButton = 125;
constexpr int Step3Heading = 127;
constexpr int RecommendXpSp2 = 128;
constexpr int ProblemResolvedHeading = 129;
constexpr int CheckProgramWorks = 131;
constexpr int CompareFileVersions = 132;
constexpr int FarewellText = 134;
constexpr int FileNameCaption = 137;
constexpr int FileVersionCaption = 138;
constexpr int PathCaption = 139;
constexpr int IdentifyOldFiles = 140;
constexpr int CouldNotRegister = 141;
constexpr int ClickButton = 142;
constexpr int JetInstalled = 143;
constexpr int NewerJetAvailable = 144;
constexpr int MdacIsLatest = 145;
constexpr int ClickNextToRepair = 146;
constexpr int InstallUpdateFirst = 147;
constexpr int CancelButton = 148;
constexpr int CloseButton = 149;
constexpr int VerifyingFiles = 150;
constexpr int MdacVersionHeading = 151;
constexpr int JetVersionHeading = 152;
constexpr int JetIsLatest = 153;
constexpr int RepairFinished = 154;
constexpr int ProblemsResolvedQuestion = 155;
constexpr int AnswerResolved = 156;
constexpr int AnswerStillProblems = 157;
constexpr int RegistrationCrashed = 160;
constexpr int RegistrationTimedOut = 161;
constexpr int ClassNotUsable = 162;
constexpr int JetFor32BitOnly = 163;
constexpr int ProtectedFiles = 164;
constexpr int ProgIdNotRegistered = 165;
constexpr int ClassNotRegistered = 166;
constexpr int RepairNeedsRights = 167;
constexpr int RepairNeedsAdministrator = 168;
constexpr int CommandLineUsage = 170;
constexpr int UnknownOption = 171;
constexpr int CheckOrRepair = 172;
constexpr int LogNeedsFileName = 173;
constexpr int LogNeedsCommand = 174;
constexpr int RegisteredReadOnly = 175;
constexpr int NotRegisteredForBits = 176;
constexpr int RegisteredFileMissing = 177;
constexpr int FileOfOtherBitness = 178;
constexpr int CurVerNotRegistered = 179;
constexpr int CurVerOtherClass = 180;
constexpr int DriverNotInstalled = 181;
constexpr int DatabaseMissing = 182;
constexpr int IsamNoEngine = 183;
constexpr int DriverSetupFault = 184;
constexpr int JetWayOut = 185;
constexpr int AceNotInstalled = 186;
constexpr int AccdbNeedsAce = 187;
constexpr int OpenedBy = 188;
constexpr int NotAProgram = 189;
constexpr int ProgramNeedsCheck = 190;
constexpr int RunsAsBits = 191;
}  // namespace msg

// The text of a message in the user interface language, exactly as stored
// (leading spaces and line feeds included); empty for an unknown id.
std::wstring LoadMessage(int id);
