#include "search/startup_dialogue.h"

namespace tessera {

int startupDialogue(platform::Console& console, std::optional<int> givenIterations) {
  int planned = 500;
  console.line("欢迎使用TESSERA!");
  if (givenIterations) {
    planned = *givenIterations;
  } else {
    console.line("请设置迭代次数:");
    console.readInt(planned);  // leaves 500 when no integer can be read
  }
  console.line("请留意如下几点:");
  console.line(
      "(1)迭代计算时间有可能较长。根据经验,Varnel算例零件个数N=20,一次迭代约需273秒。其它参数:"
      "计算机cpu主频=3.5GHz,排样块边长PBSL=1 mm,RN=4,容器尺寸L*W*H=30 mm * 31 mm * 50 mm。");
  console.line(
      "(2)迭代过程中用户可随时暂停,并输出当前最优排样结果。方法是：敲击键盘任意键,"
      "然后根据提示操作。"
      "注意：用户如果需要暂停，请敲击一次键盘并耐心等待一次迭代完成即可。请不要反复敲击键盘!");
  console.waitForKey();
  console.line("迭代开始");
  return planned;
}

}  // namespace tessera
