#include "monitor/AlarmTexts.h"

#include <array>

namespace velmora {

namespace {

// Shown as the drive maker wrote them; \r is the line break of a message box.
constexpr std::array<const char *, 10> kExplanations{{
    "현재 발생중인 에러가 없거나 비상정지 상태입니다",
    "발생원인 : 출력단자(U,V,W)단락, 출력 과전류, 엔코더/엔코더 배선불량\r\r조치사항 : 출력, 엔코더 배선 점검, 리셋후 재시동. O.C계속시 드라이브 교환",
    "발생원인 : 입력전압과대(280V이상), 회생 제동저항 소손, 관성과대\r\r조치사항 : 모터, 엔코더 배선 및 설정치 점검, 과다부하 제거",
    "발생원인 : 기계적 과부하, 모터 오배선\r\r조치사항 : 부하상태 점검, 모터 및 엔코더 배선 점검",
    "발생원인 : 서보 온 상태에서 주전원 차단\r\r조치사항 : 3상 주전원(R,S,T) 입력상태 점검",
    "발생원인 : 모터 및 엔코더 관련 설정치 이상, 모터 및 엔코더 오배선, 엔코더 불량\r\r조치사항 : 모터, 엔코더 배선 및 설정치 점검",
    "발생원인 : 게인 과다, 파라미터 설정치 이상, 과다 중력부하\r\r조치사항 : 게인 조정, 파라미터(P03-05,06)확인, 과다 중력부하 제거",
    "발생원인 : 급가감속, 게인 설정치 이상, 지령펄스 주파수 과대(300kpps이상), 오배선,\r               기계적 과부하\r\r조치사항 : 위치 게인 조정, P05-09설정치 키움, 지령펄스 주파수 조정, 모터 및 엔코더 배선점검\r               전자 기어비 확인",
    "발생원인 : 출력(U,V,W) 결상\r\r조치사항 : 모터 배선 점검, 서보 드라이브 교환",
    "발생원인 : 엔코더 펄스수 설정 오류\r\r조치사항 : 엔코더 ID(P01-12)를 정확히 설정, 엔코더 파손여부 확인",
}};

} // namespace

QString AlarmExplanation(int code)
{
    if (code < 0 || code >= int(kExplanations.size()))
        return QString();
    return QString::fromUtf8(kExplanations[size_t(code)]);
}

} // namespace velmora
