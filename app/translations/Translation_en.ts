<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>示波器控制台</source>
        <translation>Oscilloscope Console</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>时域图</source>
        <translation>Time Domain</translation>
    </message>
    <message>
        <source>通道 0</source>
        <translation>Channel 0</translation>
    </message>
    <message>
        <source>光标：开</source>
        <translation>Cursors: on</translation>
    </message>
    <message>
        <source>光标：关</source>
        <translation>Cursors: off</translation>
    </message>
    <message>
        <source>M</source>
        <translation>M</translation>
    </message>
    <message>
        <source>Θ</source>
        <translation>Θ</translation>
    </message>
    <message>
        <source>测量</source>
        <translation>Measurements</translation>
    </message>
    <message>
        <source>添加/删除</source>
        <translation>Add/Remove</translation>
    </message>
    <message>
        <source>···</source>
        <translation>···</translation>
    </message>
    <message>
        <source>Ο</source>
        <translation>Ο</translation>
    </message>
    <message>
        <source>频谱图</source>
        <translation>Spectrum</translation>
    </message>
    <message>
        <source>FFT 1</source>
        <translation>FFT 1</translation>
    </message>
    <message>
        <source>标记：开</source>
        <translation>Markers: on</translation>
    </message>
    <message>
        <source>标记：关</source>
        <translation>Markers: off</translation>
    </message>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>频响图</source>
        <translation>Frequency Response</translation>
    </message>
    <message>
        <source>通道 1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道 2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>通道 3</source>
        <translation>Channel 3</translation>
    </message>
    <message>
        <source>星座图</source>
        <translation>Constellation</translation>
    </message>
    <message>
        <source>BPSK</source>
        <translation>BPSK</translation>
    </message>
    <message>
        <source>QPSK</source>
        <translation>QPSK</translation>
    </message>
    <message>
        <source>8PSK</source>
        <translation>8PSK</translation>
    </message>
    <message>
        <source>16QAM</source>
        <translation>16QAM</translation>
    </message>
    <message>
        <source>64QAM</source>
        <translation>64QAM</translation>
    </message>
    <message>
        <source>眼图</source>
        <translation>Eye Diagram</translation>
    </message>
    <message>
        <source>示波器</source>
        <translation>Oscilloscope</translation>
    </message>
    <message>
        <source>H452</source>
        <translation>H452</translation>
    </message>
    <message>
        <source>Simulation</source>
        <translation>Simulation</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>启/停</source>
        <translation>Run/Stop</translation>
    </message>
    <message>
        <source>单次</source>
        <translation>Single</translation>
    </message>
    <message>
        <source>水平 &amp; 采集</source>
        <translation>Horizontal &amp; Acq.</translation>
    </message>
    <message>
        <source>触发 ┙﹉┕</source>
        <translation>Trig'd ┙﹉┕</translation>
    </message>
    <message>
        <source>时间跨度</source>
        <translation>Time Span</translation>
    </message>
    <message>
        <source>X 位置</source>
        <translation>X Position</translation>
    </message>
    <message>
        <source>200 ps</source>
        <translation>200 ps</translation>
    </message>
    <message>
        <source>500 ps</source>
        <translation>500 ps</translation>
    </message>
    <message>
        <source>1 ns</source>
        <translation>1 ns</translation>
    </message>
    <message>
        <source>2 ns</source>
        <translation>2 ns</translation>
    </message>
    <message>
        <source>5 ns</source>
        <translation>5 ns</translation>
    </message>
    <message>
        <source>10 ns</source>
        <translation>10 ns</translation>
    </message>
    <message>
        <source>20 ns</source>
        <translation>20 ns</translation>
    </message>
    <message>
        <source>50 ns</source>
        <translation>50 ns</translation>
    </message>
    <message>
        <source>100 ns</source>
        <translation>100 ns</translation>
    </message>
    <message>
        <source>200 ns</source>
        <translation>200 ns</translation>
    </message>
    <message>
        <source>500 ns</source>
        <translation>500 ns</translation>
    </message>
    <message>
        <source>1 µs</source>
        <translation>1 µs</translation>
    </message>
    <message>
        <source>2 µs</source>
        <translation>2 µs</translation>
    </message>
    <message>
        <source>5 µs</source>
        <translation>5 µs</translation>
    </message>
    <message>
        <source>10 µs</source>
        <translation>10 µs</translation>
    </message>
    <message>
        <source>20 µs</source>
        <translation>20 µs</translation>
    </message>
    <message>
        <source>50 µs</source>
        <translation>50 µs</translation>
    </message>
    <message>
        <source>100 µs</source>
        <translation>100 µs</translation>
    </message>
    <message>
        <source>200 µs</source>
        <translation>200 µs</translation>
    </message>
    <message>
        <source>500 µs</source>
        <translation>500 µs</translation>
    </message>
    <message>
        <source>1 ms</source>
        <translation>1 ms</translation>
    </message>
    <message>
        <source>2 ms</source>
        <translation>2 ms</translation>
    </message>
    <message>
        <source>5 ms</source>
        <translation>5 ms</translation>
    </message>
    <message>
        <source>10 ms</source>
        <translation>10 ms</translation>
    </message>
    <message>
        <source>20 ms</source>
        <translation>20 ms</translation>
    </message>
    <message>
        <source>50 ms</source>
        <translation>50 ms</translation>
    </message>
    <message>
        <source>100 ms</source>
        <translation>100 ms</translation>
    </message>
    <message>
        <source>200 ms</source>
        <translation>200 ms</translation>
    </message>
    <message>
        <source>500 ms</source>
        <translation>500 ms</translation>
    </message>
    <message>
        <source>1 s</source>
        <translation>1 s</translation>
    </message>
    <message>
        <source>2 s</source>
        <translation>2 s</translation>
    </message>
    <message>
        <source>5 s</source>
        <translation>5 s</translation>
    </message>
    <message>
        <source>▲～</source>
        <translation>▲～</translation>
    </message>
    <message>
        <source>∽▼</source>
        <translation>∽▼</translation>
    </message>
    <message>
        <source>0.0000 s</source>
        <translation>0.0000 s</translation>
    </message>
    <message>
        <source>采样率</source>
        <translation>Sample Rate</translation>
    </message>
    <message>
        <source>方式</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>模式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>DDR4地址</source>
        <translation>DDR4 Address</translation>
    </message>
    <message>
        <source>1GS/s</source>
        <translation>1GS/s</translation>
    </message>
    <message>
        <source>实时</source>
        <translation>Real Time</translation>
    </message>
    <message>
        <source>采样</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>触发</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>自由触发</source>
        <translation>Free Run</translation>
    </message>
    <message>
        <source>边沿触发</source>
        <translation>Edge</translation>
    </message>
    <message>
        <source>连续传输</source>
        <translation>Streaming</translation>
    </message>
    <message>
        <source>外部触发</source>
        <translation>External</translation>
    </message>
    <message>
        <source>本地文件读取</source>
        <translation>Local File</translation>
    </message>
    <message>
        <source>强制</source>
        <translation>Force</translation>
    </message>
    <message>
        <source>触发源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>触发沿</source>
        <translation>Edge</translation>
    </message>
    <message>
        <source>触发电平</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>空闲模式</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>AA上升沿</source>
        <translation>AA Rising</translation>
    </message>
    <message>
        <source>AB上升沿</source>
        <translation>AB Rising</translation>
    </message>
    <message>
        <source>BA上升沿</source>
        <translation>BA Rising</translation>
    </message>
    <message>
        <source>BB上升沿</source>
        <translation>BB Rising</translation>
    </message>
    <message>
        <source>AA下降沿</source>
        <translation>AA Falling</translation>
    </message>
    <message>
        <source>AB下降沿</source>
        <translation>AB Falling</translation>
    </message>
    <message>
        <source>BA下降沿</source>
        <translation>BA Falling</translation>
    </message>
    <message>
        <source>BB下降沿</source>
        <translation>BB Falling</translation>
    </message>
    <message>
        <source>外部触发上升沿</source>
        <translation>External Rising</translation>
    </message>
    <message>
        <source>外部触发下降沿</source>
        <translation>External Falling</translation>
    </message>
    <message>
        <source>0.000 V</source>
        <translation>0.000 V</translation>
    </message>
    <message>
        <source>下置 50%</source>
        <translation>Set 50%</translation>
    </message>
    <message>
        <source>延迟</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>0.0000 mV</source>
        <translation>0.0000 mV</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>示范：模拟示波器 · H452(4通道)</source>
        <translation>Demo: simulated oscilloscope · H452 (4 channels)</translation>
    </message>
    <message>
        <source>电压跨度</source>
        <translation>Volts/div</translation>
    </message>
    <message>
        <source>Y 位置</source>
        <translation>Y Position</translation>
    </message>
    <message>
        <source>1 mV</source>
        <translation>1 mV</translation>
    </message>
    <message>
        <source>2 mV</source>
        <translation>2 mV</translation>
    </message>
    <message>
        <source>5 mV</source>
        <translation>5 mV</translation>
    </message>
    <message>
        <source>6.25 mV</source>
        <translation>6.25 mV</translation>
    </message>
    <message>
        <source>10 mV</source>
        <translation>10 mV</translation>
    </message>
    <message>
        <source>12.5 mV</source>
        <translation>12.5 mV</translation>
    </message>
    <message>
        <source>20 mV</source>
        <translation>20 mV</translation>
    </message>
    <message>
        <source>25 mV</source>
        <translation>25 mV</translation>
    </message>
    <message>
        <source>50 mV</source>
        <translation>50 mV</translation>
    </message>
    <message>
        <source>62.5 mV</source>
        <translation>62.5 mV</translation>
    </message>
    <message>
        <source>100 mV</source>
        <translation>100 mV</translation>
    </message>
    <message>
        <source>125 mV</source>
        <translation>125 mV</translation>
    </message>
    <message>
        <source>200 mV</source>
        <translation>200 mV</translation>
    </message>
    <message>
        <source>250 mV</source>
        <translation>250 mV</translation>
    </message>
    <message>
        <source>500 mV</source>
        <translation>500 mV</translation>
    </message>
    <message>
        <source>625 mV</source>
        <translation>625 mV</translation>
    </message>
    <message>
        <source>1 V</source>
        <translation>1 V</translation>
    </message>
    <message>
        <source>1.25 V</source>
        <translation>1.25 V</translation>
    </message>
    <message>
        <source>2 V</source>
        <translation>2 V</translation>
    </message>
    <message>
        <source>2.5 V</source>
        <translation>2.5 V</translation>
    </message>
    <message>
        <source>5 V</source>
        <translation>5 V</translation>
    </message>
    <message>
        <source>6.25 V</source>
        <translation>6.25 V</translation>
    </message>
    <message>
        <source>10 V</source>
        <translation>10 V</translation>
    </message>
    <message>
        <source>0.000 div</source>
        <translation>0.000 div</translation>
    </message>
    <message>
        <source>耦合</source>
        <translation>Coupling</translation>
    </message>
    <message>
        <source>DC</source>
        <translation>DC</translation>
    </message>
    <message>
        <source>探头</source>
        <translation>Probe</translation>
    </message>
    <message>
        <source>1 X</source>
        <translation>1 X</translation>
    </message>
    <message>
        <source>带宽</source>
        <translation>Bandwidth</translation>
    </message>
    <message>
        <source>300MHz</source>
        <translation>300MHz</translation>
    </message>
    <message>
        <source>输入阻抗</source>
        <translation>Impedance</translation>
    </message>
    <message>
        <source>1 MΩ</source>
        <translation>1 MΩ</translation>
    </message>
    <message>
        <source>范围</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>50 V</source>
        <translation>50 V</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>添加通道</source>
        <translation>Add Channel</translation>
    </message>
    <message>
        <source>FFT</source>
        <translation>FFT</translation>
    </message>
    <message>
        <source>a+b</source>
        <translation>a+b</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>通道源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>窗类型</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>Rectangular</source>
        <translation>Rectangular</translation>
    </message>
    <message>
        <source>Hanning</source>
        <translation>Hanning</translation>
    </message>
    <message>
        <source>Hamming</source>
        <translation>Hamming</translation>
    </message>
    <message>
        <source>Flat top</source>
        <translation>Flat top</translation>
    </message>
    <message>
        <source>Blackman</source>
        <translation>Blackman</translation>
    </message>
    <message>
        <source>Gaussian</source>
        <translation>Gaussian</translation>
    </message>
    <message>
        <source>Blackman-Harris</source>
        <translation>Blackman-Harris</translation>
    </message>
    <message>
        <source>Exact Blackman</source>
        <translation>Exact Blackman</translation>
    </message>
    <message>
        <source>4 Term B-Harris</source>
        <translation>4 Term B-Harris</translation>
    </message>
    <message>
        <source>7 Term B-Harris</source>
        <translation>7 Term B-Harris</translation>
    </message>
    <message>
        <source>Low sidelobe</source>
        <translation>Low sidelobe</translation>
    </message>
    <message>
        <source>示波器 · H452(4通道)</source>
        <translation>Oscilloscope · H452 (4 channels)</translation>
    </message>
    <message>
        <source>自动设置</source>
        <translation>Auto Setup</translation>
    </message>
    <message>
        <source>默认设置</source>
        <translation>Default Setup</translation>
    </message>
    <message>
        <source>采样点数</source>
        <translation>Samples</translation>
    </message>
    <message>
        <source>轨迹</source>
        <translation>Traces</translation>
    </message>
    <message>
        <source>色阶</source>
        <translation>Colour scale</translation>
    </message>
    <message>
        <source>触发阈值</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>触发时间</source>
        <translation>Trigger Time</translation>
    </message>
    <message>
        <source>幅度(mv)</source>
        <translation>Amplitude (mV)</translation>
    </message>
    <message>
        <source>频谱 (MHz)</source>
        <translation>Spectrum (MHz)</translation>
    </message>
    <message>
        <source>幅度(dBm)</source>
        <translation>Amplitude (dBm)</translation>
    </message>
    <message>
        <source>频响 (MHz)</source>
        <translation>Frequency Response (MHz)</translation>
    </message>
    <message>
        <source>幅度(dBFS)</source>
        <translation>Amplitude (dBFS)</translation>
    </message>
    <message>
        <source>I</source>
        <translation>I</translation>
    </message>
    <message>
        <source>Q</source>
        <translation>Q</translation>
    </message>
    <message>
        <source>NSD(dBm)</source>
        <translation>NSD(dBm)</translation>
    </message>
    <message>
        <source>停止 ■</source>
        <translation>Stop ■</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>通道 </source>
        <translation>Channel </translation>
    </message>
    <message>
        <source>本地文件</source>
        <translation>Local File</translation>
    </message>
    <message>
        <source>Binary Files (*.bin)</source>
        <translation>Binary Files (*.bin)</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>通道编号</source>
        <translation>Channel number</translation>
    </message>
    <message>
        <source>频点 1…N/2 的总功率减去谐波 1…5(各 ±h 频点,重叠频点计两次),按 dBm 换算,不按 ENBW 修正</source>
        <translation>Total power of bins 1..N/2 minus harmonics 1..5 (±h bins each, overlapping bins counted twice), in dBm, no ENBW correction</translation>
    </message>
    <message>
        <source>同一噪声在 50 Ω 上的均方根电压</source>
        <translation>The same noise as an rms voltage across 50 Ω</translation>
    </message>
    <message>
        <source>谐波 1…5(含基波)/ 噪声,谐波不折叠</source>
        <translation>Harmonics 1..5 (fundamental included) over noise; harmonics not folded</translation>
    </message>
    <message>
        <source>(SNR − 1.76) / 6.02,由 SNR 而非 SINAD 得出</source>
        <translation>(SNR − 1.76) / 6.02, from SNR rather than SINAD</translation>
    </message>
    <message>
        <source>最强频点的电平,满量程 32767</source>
        <translation>Level of the strongest bin, full scale 32767</translation>
    </message>
    <message>
        <source>最强频点的频率</source>
        <translation>Frequency of the strongest bin</translation>
    </message>
    <message>
        <source>基波 ±h 频点之外的最高频点减去基波电平,负数</source>
        <translation>Highest bin outside the line's ±h bins minus the line's level, negative</translation>
    </message>
    <message>
        <source>基波 ±h 频点 / 其余频点 1…N/2</source>
        <translation>The line's ±h bins over all other bins 1..N/2</translation>
    </message>
    <message>
        <source>基波(MHz)</source>
        <translation>Fund.(MHz)</translation>
    </message>
    <message>
        <source>直流所占频点之外最强谱线所占频点的功率加权中心频率</source>
        <translation>Power-weighted centre of the bins owned by the strongest line above DC's bins</translation>
    </message>
    <message>
        <source>基波(dBFS)</source>
        <translation>Fund.(dBFS)</translation>
    </message>
    <message>
        <source>基波所占频点的功率之和;满量程为峰值 32768 的正弦</source>
        <translation>Power of the fundamental's owned bins; full scale is a sine of peak 32768</translation>
    </message>
    <message>
        <source>基波 / (谐波 2…K + 噪声);噪声为无人占用频点的功率按全频带折算</source>
        <translation>Fundamental over (harmonics 2..K + noise); noise is the power of the unowned bins scaled to the whole band</translation>
    </message>
    <message>
        <source>基波 / 噪声(不含谐波,含非谐波杂散)</source>
        <translation>Fundamental over noise (harmonics excluded, non-harmonic spurs included)</translation>
    </message>
    <message>
        <source>谐波 2…K 之和 / 基波;谐波按奈奎斯特与直流折叠,重复占用的频点只计一次</source>
        <translation>Harmonics 2..K over the fundamental; harmonics folded about Nyquist and DC, a bin owned twice counted once</translation>
    </message>
    <message>
        <source>基波 / 最大杂散(谐波或非谐波,不含直流),正数</source>
        <translation>Fundamental over the largest spur (harmonic or not, DC excluded), positive</translation>
    </message>
    <message>
        <source>满量程 / 最大杂散,正数</source>
        <translation>Full scale over the largest spur, positive</translation>
    </message>
    <message>
        <source>(SINAD − 1.76) / 6.02</source>
        <translation>(SINAD − 1.76) / 6.02</translation>
    </message>
    <message>
        <source>以满量程为参考的 SINAD 得出的 ENOB</source>
        <translation>ENOB from SINAD referred to full scale</translation>
    </message>
    <message>
        <source>噪声 / 满量程 / (fs/2);已计入窗口的 ENBW = N·Σw²/(Σw)²</source>
        <translation>Noise over full scale over fs/2; the window's ENBW = N·Σw²/(Σw)² is applied</translation>
    </message>
    <message>
        <source>拟合 ENOB</source>
        <translation>Fit ENOB</translation>
    </message>
    <message>
        <source>四参数正弦拟合:log2(65536 / (√12 · 残差均方根))</source>
        <translation>Four-parameter sine fit: log2(65536 / (√12 · residual rms))</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warnings</translation>
    </message>
    <message>
        <source>图标的提示给出原因</source>
        <translation>The icon's tooltip gives the reason</translation>
    </message>
    <message>
        <source>码值达到 32767 或 −32768:转换器削波,指标包含该失真。</source>
        <translation>Codes at 32767 or -32768: the converter clipped and the figures include that distortion.</translation>
    </message>
    <message>
        <source>最大谱线是直流:信号可能弱于偏置。</source>
        <translation>The largest line is DC: the tone may be weaker than the offset.</translation>
    </message>
    <message>
        <source>矩形窗下信号位于频点之间:泄漏主导噪声与失真指标。</source>
        <translation>The tone lies between bins with the rectangular window: leakage dominates the noise and distortion figures.</translation>
    </message>
    <message>
        <source>折叠后的谐波落在基波频点上:THD 不含它。</source>
        <translation>A folded harmonic lands on the fundamental's bins: THD misses it.</translation>
    </message>
    <message>
        <source>折叠后的谐波落在直流频点上:THD 不含它。</source>
        <translation>A folded harmonic lands on DC's bins: THD misses it.</translation>
    </message>
    <message>
        <source>两个信号的频点重叠:相关谐波的电平无法分开。</source>
        <translation>The bins of two tones overlap: the levels of the harmonics involved are not separable.</translation>
    </message>
    <message>
        <source>基波频点触及直流频点:其电平与指标不可靠。</source>
        <translation>The fundamental's bins reach DC's bins: its level and the figures are not reliable.</translation>
    </message>
    <message>
        <source>基波频点触及奈奎斯特频点:其镜像与之重叠。</source>
        <translation>The fundamental's bins reach the Nyquist bin: its image overlaps it.</translation>
    </message>
    <message>
        <source>基波低于 −40 dBFS:ENOB 描述的是信号而非转换器。</source>
        <translation>The fundamental is below -40 dBFS: ENOB describes the signal, not the converter.</translation>
    </message>
    <message>
        <source>正弦拟合的 ENOB 与满量程频谱 ENOB 相差超过 0.5 位。</source>
        <translation>The sine fit's ENOB and the full-scale spectral ENOB differ by more than 0.5 bit.</translation>
    </message>
    <message>
        <source>标准</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>切换测量视图:表格规定的八项指标或 IEEE 1241 标准指标</source>
        <translation>Switch the measurements: the table's eight figures or the IEEE 1241 figures</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>清除统计(均值、标准差、最小、最大、次数)</source>
        <translation>Clear the statistics (mean, standard deviation, minimum, maximum, count)</translation>
    </message>
    <message>
        <source>最新值(均值 ± σ,自复位起)</source>
        <translation>Latest value (mean ± σ since the last reset)</translation>
    </message>
    <message>
        <source>第 %1 次谐波:电平(dBc)@ 折叠后的频率(MHz)</source>
        <translation>Harmonic %1: level (dBc) @ frequency after folding (MHz)</translation>
    </message>
    <message>
        <source>通道 %1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>下一峰值</source>
        <translation>Next peak</translation>
    </message>
    <message>
        <source>功率平均</source>
        <translation>Power average</translation>
    </message>
    <message>
        <source>峰值保持</source>
        <translation>Peak hold</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>这个面板没有图像可保存</source>
        <translation>This panel has no image to save</translation>
    </message>
    <message>
        <source>这个面板没有数据可导出</source>
        <translation>This panel has no data to export</translation>
    </message>
    <message>
        <source>保存图像 (PNG)…</source>
        <translation>Save image (PNG)…</translation>
    </message>
    <message>
        <source>保存图像 2× (PNG)…</source>
        <translation>Save image 2× (PNG)…</translation>
    </message>
    <message>
        <source>导出数据 (CSV)…</source>
        <translation>Export data (CSV)…</translation>
    </message>
    <message>
        <source>设置光标 %1…</source>
        <translation>Set cursor %1…</translation>
    </message>
    <message>
        <source>设置光标</source>
        <translation>Set cursor</translation>
    </message>
    <message>
        <source>“%1”不是坐标轴可见范围内的数值</source>
        <translation>“%1” is not a number within the visible axis range</translation>
    </message>
    <message>
        <source>丢弃 %1 块</source>
        <translation>%1 blocks dropped</translation>
    </message>
    <message>
        <source>%1 MS/s (文件)</source>
        <translation>%1 MS/s (file)</translation>
    </message>
    <message>
        <source>EVM rms</source>
        <translation>EVM rms</translation>
    </message>
    <message>
        <source>误差矢量幅度的均方根，相对理想星座的均方根（各点等概率）。符号判决前已去除残余载波、拟合增益与相位并选取最佳采样时刻。</source>
        <translation>RMS error vector magnitude over the RMS of the ideal constellation (all points equally likely). Before the decisions the residual carrier is removed, gain and phase are fitted and the best sampling instant is chosen.</translation>
    </message>
    <message>
        <source>EVM rms (dB)</source>
        <translation>EVM rms (dB)</translation>
    </message>
    <message>
        <source>20·log10(EVM rms)，参考同上。</source>
        <translation>20·log10(EVM rms), same reference.</translation>
    </message>
    <message>
        <source>EVM peak</source>
        <translation>EVM peak</translation>
    </message>
    <message>
        <source>最大误差矢量，相对理想星座中最大的点。</source>
        <translation>Largest error vector over the largest point of the ideal constellation.</translation>
    </message>
    <message>
        <source>MER</source>
        <translation>MER</translation>
    </message>
    <message>
        <source>−20·log10(EVM rms)，参考为理想星座的均方根。</source>
        <translation>−20·log10(EVM rms), referred to the RMS of the ideal constellation.</translation>
    </message>
    <message>
        <source>相位误差</source>
        <translation>Phase error</translation>
    </message>
    <message>
        <source>实测符号相对判决理想点的相位差的均方根。</source>
        <translation>RMS of the phase of each measured symbol against its decided ideal point.</translation>
    </message>
    <message>
        <source>幅度误差</source>
        <translation>Magnitude error</translation>
    </message>
    <message>
        <source>|实测| − |理想| 的均方根，相对理想星座的均方根。</source>
        <translation>RMS of |measured| − |ideal|, over the RMS of the ideal constellation.</translation>
    </message>
    <message>
        <source>载波偏移</source>
        <translation>Carrier offset</translation>
    </message>
    <message>
        <source>残余载波：由 M 次方（BPSK 2，QPSK 4，8PSK 8，QAM 4）估计，再由相位斜率细化；载波高于混频频率时为正。</source>
        <translation>Residual carrier: estimated from the M-th power (BPSK 2, QPSK 4, 8PSK 8, QAM 4), refined from the phase slope; positive when the carrier lies above the mixer frequency.</translation>
    </message>
    <message>
        <source>载波</source>
        <translation>Carrier</translation>
    </message>
    <message>
        <source>混频频率（最强谱线）加载波偏移。</source>
        <translation>Mixer frequency (the strongest line) plus the carrier offset.</translation>
    </message>
    <message>
        <source>I/Q 增益不平衡</source>
        <translation>I/Q gain imbalance</translation>
    </message>
    <message>
        <source>由实测 = a·d + b·conj(d) 拟合：20·log10(|a−b| / |a+b|)（Q 轴增益相对 I 轴）。</source>
        <translation>From the fit measured = a·d + b·conj(d): 20·log10(|a−b| / |a+b|) (Q axis gain over I axis gain).</translation>
    </message>
    <message>
        <source>正交误差</source>
        <translation>Quadrature error</translation>
    </message>
    <message>
        <source>同一拟合：arg((a−b) / (a+b))，Q 轴偏离 90° 的角度。</source>
        <translation>Same fit: arg((a−b) / (a+b)), how far the Q axis lies from 90°.</translation>
    </message>
    <message>
        <source>符号数</source>
        <translation>Symbols</translation>
    </message>
    <message>
        <source>参与计算的符号数（最后一帧）。</source>
        <translation>Symbols the figures come from (last frame).</translation>
    </message>
    <message>
        <source>眼高</source>
        <translation>Eye height</translation>
    </message>
    <message>
        <source>最佳采样时刻的 (高电平均值 − 3σ) − (低电平均值 + 3σ)，单位为码值。</source>
        <translation>(upper mean − 3σ) − (lower mean + 3σ) at the optimal sampling instant, in codes.</translation>
    </message>
    <message>
        <source>眼宽</source>
        <translation>Eye width</translation>
    </message>
    <message>
        <source>1 UI（半个轨迹周期）减去过零点的分布（各自均值 ± 3σ，相对每帧拟合的时钟）。</source>
        <translation>1 UI (half the trace period) less the spread of the crossings (each edge's mean ± 3σ, against each frame's fitted clock).</translation>
    </message>
    <message>
        <source>幅度</source>
        <translation>Amplitude</translation>
    </message>
    <message>
        <source>最佳采样时刻高、低电平均值之差，单位为码值。</source>
        <translation>Upper mean − lower mean at the optimal sampling instant, in codes.</translation>
    </message>
    <message>
        <source>交叉点</source>
        <translation>Crossing</translation>
    </message>
    <message>
        <source>平均上升沿与平均下降沿相交的电平，相对幅度，从低电平算起。</source>
        <translation>Level where the mean rising and falling edges intersect, over the amplitude, from the lower level.</translation>
    </message>
    <message>
        <source>上升时间</source>
        <translation>Rise time</translation>
    </message>
    <message>
        <source>20 % 到 80 % 的上升时间，所有上升沿的平均。</source>
        <translation>20 % to 80 % rise time, mean over the rising edges.</translation>
    </message>
    <message>
        <source>下降时间</source>
        <translation>Fall time</translation>
    </message>
    <message>
        <source>80 % 到 20 % 的下降时间，所有下降沿的平均。</source>
        <translation>80 % to 20 % fall time, mean over the falling edges.</translation>
    </message>
    <message>
        <source>抖动 rms</source>
        <translation>Jitter rms</translation>
    </message>
    <message>
        <source>阈值过零点相对每帧全部过零点拟合的时钟的时间间隔误差（TIE）的标准差。</source>
        <translation>Standard deviation of the time-interval error (TIE) of the threshold crossings against a clock fitted to all crossings of each frame.</translation>
    </message>
    <message>
        <source>抖动 pp</source>
        <translation>Jitter pp</translation>
    </message>
    <message>
        <source>同一 TIE 的峰峰值。</source>
        <translation>Peak-to-peak of the same TIE.</translation>
    </message>
    <message>
        <source>Q 因子</source>
        <translation>Q factor</translation>
    </message>
    <message>
        <source>最佳采样时刻的 (高均值 − 低均值) / (σ高 + σ低)。</source>
        <translation>(upper mean − lower mean) / (σ upper + σ lower) at the optimal sampling instant.</translation>
    </message>
    <message>
        <source>轨迹数</source>
        <translation>Traces</translation>
    </message>
    <message>
        <source>自上次清除以来保留的轨迹数。</source>
        <translation>Traces kept since the eye was last cleared.</translation>
    </message>
    <message>
        <source>未计算</source>
        <translation>not computed</translation>
    </message>
    <message>
        <source>未设置符号率</source>
        <translation>symbol rate not set</translation>
    </message>
    <message>
        <source>未设置采样率</source>
        <translation>sample rate not set</translation>
    </message>
    <message>
        <source>符号率高于采样率的一半</source>
        <translation>symbol rate above half the sample rate</translation>
    </message>
    <message>
        <source>符号太少</source>
        <translation>too few symbols</translation>
    </message>
    <message>
        <source>无信号</source>
        <translation>no signal</translation>
    </message>
    <message>
        <source>无载波谱线</source>
        <translation>no carrier line</translation>
    </message>
    <message>
        <source>BPSK 没有 Q 轴</source>
        <translation>BPSK has no Q axis</translation>
    </message>
    <message>
        <source>轨迹太少</source>
        <translation>too few traces</translation>
    </message>
    <message>
        <source>过零点太少</source>
        <translation>too few crossings</translation>
    </message>
    <message>
        <source>眼图未张开</source>
        <translation>no eye opening</translation>
    </message>
    <message>
        <source>电平无噪声分布</source>
        <translation>levels without spread</translation>
    </message>
    <message>
        <source>指标：关</source>
        <translation>Figures: off</translation>
    </message>
    <message>
        <source>指标：开</source>
        <translation>Figures: on</translation>
    </message>
    <message>
        <source>符号率</source>
        <translation>Symbol rate</translation>
    </message>
    <message>
        <source>符号率；为空或 0 时不计算星座指标</source>
        <translation>Symbol rate; empty or 0 computes no constellation figures</translation>
    </message>
    <message>
        <source>判决只在一条轴上</source>
        <translation>decisions on one axis only</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>传输块大小</source>
        <translation>Transfer block size</translation>
    </message>
    <message>
        <source>环形缓冲区</source>
        <translation>Ring buffer</translation>
    </message>
    <message>
        <source>水平</source>
        <translation>Horizontal</translation>
    </message>
    <message>
        <source>采集</source>
        <translation>Acquisition</translation>
    </message>
    <message>
        <source>采样方法</source>
        <translation>Sampling Method</translation>
    </message>
    <message>
        <source>实时</source>
        <translation>Real Time</translation>
    </message>
    <message>
        <source>随机内插</source>
        <translation>Random Interpolation</translation>
    </message>
    <message>
        <source>采样模式</source>
        <translation>Sampling Mode</translation>
    </message>
    <message>
        <source>采样</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>峰值检测</source>
        <translation>Peak Detect</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>手动覆盖</source>
        <translation>Manual Override</translation>
    </message>
    <message>
        <source>采样率</source>
        <translation>Sample Rate</translation>
    </message>
    <message>
        <source>1GS/s</source>
        <translation>1GS/s</translation>
    </message>
    <message>
        <source>⊙</source>
        <translation>⊙</translation>
    </message>
    <message>
        <source>记录长度</source>
        <translation>Record Length</translation>
    </message>
    <message>
        <source>1000</source>
        <translation>1000</translation>
    </message>
    <message>
        <source>插值法</source>
        <translation>Interpolation</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>On</source>
        <translation>On</translation>
    </message>
    <message>
        <source>No interpolation</source>
        <translation>No interpolation</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>时域图</source>
        <translation>Time Domain</translation>
    </message>
    <message>
        <source>测量</source>
        <translation>Measurements</translation>
    </message>
    <message>
        <source>频谱图</source>
        <translation>Spectrum</translation>
    </message>
    <message>
        <source>频响图</source>
        <translation>Frequency Response</translation>
    </message>
    <message>
        <source>星座图</source>
        <translation>Constellation</translation>
    </message>
    <message>
        <source>眼图</source>
        <translation>Eye Diagram</translation>
    </message>
</context>
</TS>
